#include "server/recording_stream.h"

#include <poll.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <utility>

namespace lumetta_server {
namespace {

// How long a peer may stay silent (or not drain our writes) before the connection is dropped.
constexpr std::chrono::milliseconds kIdleLimit{5000};
// Waits are cut into slices so that a stopping server is not held up by a silent peer.
constexpr std::chrono::milliseconds kWaitSlice{50};

}  // namespace

RecordingStream::RecordingStream(socket_t socket, const std::atomic<bool>& stopping,
                                 std::optional<uid_t> peer_owner, Code::SocketAddress local,
                                 Code::SocketAddress remote)
    : socket_(socket),
      stopping_(stopping),
      read_until_(std::chrono::steady_clock::now() + kRequestTime),
      peer_owner_(peer_owner),
      local_(std::move(local)),
      remote_(std::move(remote)) {}

bool RecordingStream::MayReadMore() const {
  if (std::chrono::steady_clock::now() >= read_until_) return false;
  const size_t head_end = received_.find("\r\n\r\n");
  if (head_end == std::string::npos) return received_.size() < kMaxRequestHead;
  return received_.size() - head_end - 4 < kMaxRequestBody;
}

bool RecordingStream::WaitFor(short events, std::chrono::steady_clock::time_point until) const {
  for (auto waited = std::chrono::milliseconds(0); waited < kIdleLimit; waited += kWaitSlice) {
    if (stopping_ || std::chrono::steady_clock::now() >= until) return false;
    pollfd watched{socket_, events, 0};
    const int ready = ::poll(&watched, 1, static_cast<int>(kWaitSlice.count()));
    if (ready > 0) return true;
    if (ready < 0 && errno != EINTR) return false;
  }
  return false;
}

bool RecordingStream::is_readable() const {
  return delivered_ < received_.size() || (MayReadMore() && WaitFor(POLLIN, read_until_));
}

bool RecordingStream::is_writable() const { return !closed_ && WaitFor(POLLOUT); }

void RecordingStream::TakeWhatArrived() {
  if (!MayReadMore()) return;
  char chunk[4096];
  const ssize_t count = ::recv(socket_, chunk, sizeof chunk, MSG_DONTWAIT);
  if (count > 0) received_.append(chunk, static_cast<size_t>(count));
}

ssize_t RecordingStream::read(char* ptr, size_t size) {
  if (delivered_ == received_.size()) {
    if (!MayReadMore()) return -1;
    char chunk[4096];
    // A panel's request is there when its connection is taken: it is read without waiting
    // first, and only an empty socket is waited on.
    ssize_t count = ::recv(socket_, chunk, sizeof chunk, MSG_DONTWAIT);
    if (count < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      if (!WaitFor(POLLIN, read_until_)) return -1;
      count = ::recv(socket_, chunk, sizeof chunk, 0);
    }
    if (count <= 0) return count;
    received_.append(chunk, static_cast<size_t>(count));
  }
  const size_t count = std::min(size, received_.size() - delivered_);
  std::memcpy(ptr, received_.data() + delivered_, count);
  delivered_ += count;
  return static_cast<ssize_t>(count);
}

ssize_t RecordingStream::write(const char* ptr, size_t size) {
  if (closed_) return -1;
  if (gathering_) {
    gathered_.append(ptr, size);
    return static_cast<ssize_t>(size);
  }
  // An answer fits the socket's buffer: it is waited on only when full.
  const ssize_t sent = ::send(socket_, ptr, size, MSG_NOSIGNAL | MSG_DONTWAIT);
  if (sent >= 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return sent;
  if (!WaitFor(POLLOUT)) return -1;
  return ::send(socket_, ptr, size, MSG_NOSIGNAL);
}

void RecordingStream::GatherWrites() { gathering_ = true; }

bool RecordingStream::SendGathered() {
  while (!closed_ && gathered_sent_ < gathered_.size()) {
    const ssize_t sent = ::send(socket_, gathered_.data() + gathered_sent_,
                                gathered_.size() - gathered_sent_, MSG_NOSIGNAL | MSG_DONTWAIT);
    if (sent > 0) {
      gathered_sent_ += static_cast<size_t>(sent);
    } else if (sent < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      return false;
    } else if (sent == 0 || errno != EINTR) {
      break;
    }
  }
  gathered_.clear();
  gathered_sent_ = 0;
  gathering_ = false;
  return true;
}

void RecordingStream::FinishGathered() {
  gathering_ = false;
  while (gathered_sent_ < gathered_.size()) {
    const ssize_t sent =
        write(gathered_.data() + gathered_sent_, gathered_.size() - gathered_sent_);
    if (sent < 0 && errno == EINTR) continue;
    if (sent <= 0) break;
    gathered_sent_ += static_cast<size_t>(sent);
  }
  gathered_.clear();
  gathered_sent_ = 0;
}

bool RecordingStream::StayOpenFor(std::chrono::milliseconds span) {
  const auto until = std::chrono::steady_clock::now() + span;
  while (!stopping_ && !closed_) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        until - std::chrono::steady_clock::now());
    if (left.count() <= 0) return true;
    pollfd watched{socket_, POLLIN | POLLRDHUP, 0};
    const int ready = ::poll(&watched, 1, static_cast<int>(std::min(left, kWaitSlice).count()));
    if (ready < 0 && errno != EINTR) return false;
    if (ready <= 0) continue;
    if ((watched.revents & (POLLRDHUP | POLLHUP | POLLERR)) != 0) return false;
    char chunk[4096];
    const ssize_t count = ::recv(socket_, chunk, sizeof chunk, 0);
    if (count <= 0) return false;
    received_.append(chunk, static_cast<size_t>(count));
  }
  return false;
}

void RecordingStream::CloseNow() {
  // The socket itself is closed by its owner; shutting it down tells the peer at once.
  ::shutdown(socket_, SHUT_RDWR);
  closed_ = true;
}

void RecordingStream::get_remote_ip_and_port(std::string& ip, int& port) const {
  ip = remote_.ip;
  port = remote_.port;
}

void RecordingStream::get_local_ip_and_port(std::string& ip, int& port) const {
  ip = local_.ip;
  port = local_.port;
}

}  // namespace lumetta_server
