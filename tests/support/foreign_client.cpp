#include "tests/support/foreign_client.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

namespace test_support {
namespace {

struct Command {
  char op = 0;
  int port = 0;
  int count = 0;
  int limit_ms = 0;
  std::size_t size = 0;
  std::array<char, ForeignClient::kMaxRequest> text{};
};

// What the child knows of one connection.
struct Connection {
  int fd = -1;
  bool ended = false;
  std::size_t received = 0;
  std::array<char, ForeignClient::kMaxRequest> start{};  // the first bytes received
};

bool WriteAll(int fd, const void* data, std::size_t size) {
  const auto* bytes = static_cast<const char*>(data);
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written <= 0) return false;
    bytes += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool ReadAll(int fd, void* data, std::size_t size) {
  auto* bytes = static_cast<char*>(data);
  while (size > 0) {
    const ssize_t got = ::read(fd, bytes, size);
    if (got <= 0) return false;
    bytes += got;
    size -= static_cast<std::size_t>(got);
  }
  return true;
}

long NowMs() {
  timespec now{};
  ::clock_gettime(CLOCK_MONOTONIC, &now);
  return now.tv_sec * 1000 + now.tv_nsec / 1'000'000;
}

int ConnectTo(int port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<std::uint16_t>(port));
  if (fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
    ::close(fd);
    return -1;
  }
  return fd;
}

// Reads what `connection` has; marks it ended when the server closed or reset it.
void Drain(Connection& connection) {
  std::array<char, 4096> buffer{};
  const ssize_t got = ::recv(connection.fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
  if (got > 0) {
    if (connection.received < connection.start.size()) {
      const std::size_t kept =
          std::min(static_cast<std::size_t>(got), connection.start.size() - connection.received);
      std::memcpy(connection.start.data() + connection.received, buffer.data(), kept);
    }
    connection.received += static_cast<std::size_t>(got);
  } else if (got == 0 || (errno != EAGAIN && errno != EINTR)) {
    connection.ended = true;
  }
}

// Watches the open connections until `done` holds or the limit has passed.
template <typename Done>
void Watch(std::array<Connection, ForeignClient::kMaxConnections>& connections, int open,
           int limit_ms, Done done) {
  const long give_up = NowMs() + limit_ms;
  std::array<pollfd, ForeignClient::kMaxConnections> watched{};
  while (!done()) {
    const long left = give_up - NowMs();
    if (left <= 0) return;
    int count = 0;
    std::array<int, ForeignClient::kMaxConnections> which{};
    for (int i = 0; i < open; ++i) {
      if (connections[i].ended) continue;
      watched[count] = {connections[i].fd, POLLIN, 0};
      which[count++] = i;
    }
    if (count == 0) return;
    if (::poll(watched.data(), static_cast<nfds_t>(count), static_cast<int>(left)) < 0 &&
        errno != EINTR) {
      return;
    }
    for (int k = 0; k < count; ++k) {
      if (watched[k].revents != 0) Drain(connections[which[k]]);
    }
  }
}

// The child: system calls only, and no allocation, as the parent's other threads may hold
// the allocator's lock at the fork. It ends when the parent closes `command_fd`.
[[noreturn]] void Serve(int command_fd, int result_fd) {
  if (::setgid(ForeignClient::kOwner) != 0 || ::setuid(ForeignClient::kOwner) != 0) ::_exit(1);
  static constinit std::array<Connection, ForeignClient::kMaxConnections> connections{};
  int open = 0;
  const int ready = 1;
  if (!WriteAll(result_fd, &ready, sizeof ready)) ::_exit(1);
  static constinit Command command{};
  while (ReadAll(command_fd, &command, sizeof command)) {
    int result = 0;
    if (command.op == 'o') {
      for (int i = 0; i < command.count && open < ForeignClient::kMaxConnections; ++i) {
        Connection& connection = connections[open];
        connection.fd = ConnectTo(command.port);
        if (connection.fd < 0) break;
        // A server that closes at once may leave the request unsent; that is its answer.
        ::send(connection.fd, command.text.data(), command.size, MSG_NOSIGNAL);
        ++open;
        ++result;
      }
    } else if (command.op == 'c') {
      const auto closed_unanswered = [&] {
        int closed = 0;
        for (int i = 0; i < open; ++i)
          closed += connections[i].ended && connections[i].received == 0;
        return closed;
      };
      Watch(connections, open, command.limit_ms,
            [&] { return closed_unanswered() >= command.count; });
      result = closed_unanswered();
    } else if (command.op == 'a') {
      std::array<bool, ForeignClient::kMaxConnections> was_open{};
      for (int i = 0; i < open; ++i) was_open[i] = !connections[i].ended;
      Watch(connections, open, command.limit_ms, [&] {
        for (int i = 0; i < open; ++i) {
          if (was_open[i] && !connections[i].ended) return false;
        }
        return true;
      });
      for (int i = 0; i < open; ++i) {
        const Connection& connection = connections[i];
        result += was_open[i] && connection.received >= command.size &&
                  std::memcmp(connection.start.data(), command.text.data(), command.size) == 0;
      }
    }
    if (!WriteAll(result_fd, &result, sizeof result)) break;
  }
  ::_exit(0);
}

}  // namespace

ForeignClient::ForeignClient() {
  if (::geteuid() != 0) return;
  std::array<int, 2> command{};
  std::array<int, 2> result{};
  if (::pipe2(command.data(), O_CLOEXEC) != 0) return;
  if (::pipe2(result.data(), O_CLOEXEC) != 0) {
    ::close(command[0]);
    ::close(command[1]);
    return;
  }
  child_ = ::fork();
  if (child_ == 0) {
    ::close(command[1]);
    ::close(result[0]);
    Serve(command[0], result[1]);
  }
  ::close(command[0]);
  ::close(result[1]);
  command_fd_ = command[1];
  result_fd_ = result[0];
  int ready = 0;
  if (child_ < 0 || !ReadAll(result_fd_, &ready, sizeof ready)) {
    ::close(command_fd_);
    command_fd_ = -1;
  }
}

ForeignClient::~ForeignClient() {
  // Killed rather than told: another forked child may hold a copy of the command pipe.
  if (child_ > 0) {
    ::kill(child_, SIGKILL);
    ::waitpid(child_, nullptr, 0);
  }
  if (command_fd_ >= 0) ::close(command_fd_);
  if (result_fd_ >= 0) ::close(result_fd_);
}

int ForeignClient::Ask(char op, int port, int count, std::string_view text,
                       std::chrono::milliseconds limit) {
  if (!Available() || text.size() > kMaxRequest) return -1;
  Command command;
  command.op = op;
  command.port = port;
  command.count = count;
  command.limit_ms = static_cast<int>(limit.count());
  command.size = text.size();
  std::copy(text.begin(), text.end(), command.text.begin());
  int result = -1;
  if (!WriteAll(command_fd_, &command, sizeof command) ||
      !ReadAll(result_fd_, &result, sizeof result)) {
    return -1;
  }
  return result;
}

int ForeignClient::Open(int port, int count, std::string_view request) {
  return Ask('o', port, count, request, std::chrono::milliseconds(0));
}

int ForeignClient::WaitUntilClosedUnanswered(int count, std::chrono::milliseconds limit) {
  return Ask('c', 0, count, {}, limit);
}

int ForeignClient::AnsweredWith(std::string_view prefix, std::chrono::milliseconds limit) {
  return Ask('a', 0, 0, prefix, limit);
}

}  // namespace test_support
