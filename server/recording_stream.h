#pragma once

#include <httplib.h>
#include <sys/types.h>

#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <string_view>

#include "net/socket_owner.h"

namespace lumetta_server {

// The server's view of one connection: reads and writes the socket for the HTTP engine and keeps
// every byte received, so the log can show the request exactly as it arrived (the engine itself
// keeps headers sorted by name). Waits give up when `stopping` is set.
// A request is read within limits: its head (request line and headers) at most kMaxRequestHead
// bytes, its body at most kMaxRequestBody, all of it within kRequestTime of the connection's
// start. Past any of them reads fail, and the engine drops the connection.
inline constexpr size_t kMaxRequestHead = size_t{16} * 1024;
inline constexpr size_t kMaxRequestBody = size_t{64} * 1024;
inline constexpr std::chrono::milliseconds kRequestTime{3000};
class RecordingStream final : public httplib::Stream {
 public:
  // `peer_owner`: the account of the client's socket, when it was found; `local` and `remote`:
  // the connection's ends, as the owner's lookup read them (empty when it could not).
  RecordingStream(socket_t socket, const std::atomic<bool>& stopping,
                  std::optional<uid_t> peer_owner, Code::SocketAddress local = {},
                  Code::SocketAddress remote = {});

  bool is_readable() const override;
  bool is_writable() const override;
  ssize_t read(char* ptr, size_t size) override;
  ssize_t write(const char* ptr, size_t size) override;
  void get_remote_ip_and_port(std::string& ip, int& port) const override;
  void get_local_ip_and_port(std::string& ip, int& port) const override;
  socket_t socket() const override { return socket_; }

  // Takes what the peer has sent so far, without waiting.
  void TakeWhatArrived();

  // From now on writes are kept, to go out together (one segment for a head and its body)
  // with SendGathered; nothing is sent before.
  void GatherWrites();
  // Sends what was gathered as far as the socket takes it without waiting; false when some is
  // left for FinishGathered. A peer that has gone counts as done: nothing more can reach it.
  // Once all is out, writes go out at once again.
  bool SendGathered();
  // Sends the rest, waiting for the socket as a write does; from then on writes go out at once.
  void FinishGathered();

  // Keeps the connection open for `span` while watching it; false as soon as the peer hangs up
  // or the server begins stopping. Bytes the peer sends meanwhile are kept like any others.
  bool StayOpenFor(std::chrono::milliseconds span);
  // Ends the connection now without a word; later writes fail.
  void CloseNow();

  std::optional<uid_t> peer_owner() const { return peer_owner_; }
  std::string_view received() const { return received_; }
  bool logged() const { return logged_; }
  void set_logged() { logged_ = true; }

 private:
  bool WaitFor(short events, std::chrono::steady_clock::time_point until =
                                 std::chrono::steady_clock::time_point::max()) const;

  // Within the limits above: another read may be waited for.
  bool MayReadMore() const;

  socket_t socket_;
  const std::atomic<bool>& stopping_;
  const std::chrono::steady_clock::time_point read_until_;
  const std::optional<uid_t> peer_owner_;
  const Code::SocketAddress local_;
  const Code::SocketAddress remote_;
  std::string received_;
  bool gathering_ = false;
  std::string gathered_;
  size_t gathered_sent_ = 0;
  size_t delivered_ = 0;  // bytes of `received_` already handed to the engine
  bool logged_ = false;
  bool closed_ = false;
};

}  // namespace lumetta_server
