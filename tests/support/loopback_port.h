#pragma once

#include <string>
#include <string_view>

namespace test_support {

// A loopback port with a socket bound to it: connections are refused unless it listens, and a
// listening one takes them into its backlog and never answers.
class LoopbackPort {
 public:
  explicit LoopbackPort(bool listening);
  ~LoopbackPort();
  LoopbackPort(const LoopbackPort&) = delete;
  LoopbackPort& operator=(const LoopbackPort&) = delete;

  std::string Url(std::string_view path = "/") const;
  int port() const { return port_; }
  // True once a connection waits in the backlog (bounded wait).
  bool WaitForConnection() const;

 private:
  int socket_;
  int port_ = 0;
};

// The two kinds by name.
class ClosedPort : public LoopbackPort {
 public:
  ClosedPort() : LoopbackPort(false) {}
};
class SilentPort : public LoopbackPort {
 public:
  SilentPort() : LoopbackPort(true) {}
};

}  // namespace test_support
