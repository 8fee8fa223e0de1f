#include "tests/support/foreign_listener.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <vector>

namespace test_support {
namespace {

// Writes all of `size` bytes, or gives up.
bool WriteAll(int fd, const void* data, size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<size_t>(written);
  }
  return true;
}

bool ReadAll(int fd, void* data, size_t size) {
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = ::read(fd, bytes, size);
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<size_t>(got);
  }
  return true;
}

// The child: only system calls from here on. It ends when the parent closes `stop_fd`, or
// after 60 s without an event, so it can never outlive a test for long.
[[noreturn]] void Serve(int stop_fd, int result_fd) {
  if (::setgid(ForeignListener::kOwner) != 0 || ::setuid(ForeignListener::kOwner) != 0) {
    ::_exit(1);
  }
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof address;
  if (listener < 0 || ::bind(listener, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
      ::listen(listener, 16) != 0 ||
      ::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
    ::_exit(1);
  }
  const int port = ntohs(address.sin_port);
  if (!WriteAll(result_fd, &port, sizeof port)) ::_exit(1);

  long bytes = 0;
  std::vector<pollfd> watched = {{stop_fd, POLLIN, 0}, {listener, POLLIN, 0}};
  while (::poll(watched.data(), watched.size(), 60000) > 0) {
    if (watched[0].revents != 0) break;
    if ((watched[1].revents & POLLIN) != 0) {
      const int connection = ::accept(listener, nullptr, nullptr);
      if (connection >= 0) watched.push_back({connection, POLLIN, 0});
    }
    for (size_t i = 2; i < watched.size(); ++i) {
      if (watched[i].revents == 0) continue;
      std::array<char, 4096> buffer{};
      const ssize_t got = ::read(watched[i].fd, buffer.data(), buffer.size());
      if (got > 0) {
        bytes += got;
      } else {
        watched[i].events = 0;  // closed: nothing more to count
      }
    }
  }
  WriteAll(result_fd, &bytes, sizeof bytes);
  ::_exit(0);
}

}  // namespace

ForeignListener::ForeignListener() {
  if (::geteuid() != 0) return;
  std::array<int, 2> stop{};
  std::array<int, 2> result{};
  if (::pipe2(stop.data(), O_CLOEXEC) != 0) return;
  if (::pipe2(result.data(), O_CLOEXEC) != 0) {
    ::close(stop[0]);
    ::close(stop[1]);
    return;
  }
  child_ = ::fork();
  if (child_ == 0) {
    ::close(stop[1]);
    ::close(result[0]);
    Serve(stop[0], result[1]);
  }
  ::close(stop[0]);
  ::close(result[1]);
  stop_fd_ = stop[1];
  result_fd_ = result[0];
  if (child_ < 0 || !ReadAll(result_fd_, &port_, sizeof port_)) port_ = 0;
}

long ForeignListener::StopAndCountBytes() {
  long bytes = -1;
  if (stop_fd_ >= 0) {
    ::close(stop_fd_);
    stop_fd_ = -1;
    if (!ReadAll(result_fd_, &bytes, sizeof bytes)) bytes = -1;
  }
  if (child_ > 0) {
    ::waitpid(child_, nullptr, 0);
    child_ = -1;
  }
  return bytes;
}

ForeignListener::~ForeignListener() {
  if (child_ > 0) {
    ::kill(child_, SIGKILL);
    ::waitpid(child_, nullptr, 0);
  }
  if (stop_fd_ >= 0) ::close(stop_fd_);
  if (result_fd_ >= 0) ::close(result_fd_);
}

}  // namespace test_support
