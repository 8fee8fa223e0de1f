#include "tests/support/loopback_port.h"

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace test_support {

LoopbackPort::LoopbackPort(bool listening) : socket_(::socket(AF_INET, SOCK_STREAM, 0)) {
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  // Unbound, the port stays 0 and the tests that need a connection fail.
  if (::bind(socket_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) return;
  socklen_t length = sizeof address;
  ::getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &length);
  port_ = ntohs(address.sin_port);
  if (listening) ::listen(socket_, 4);
}

LoopbackPort::~LoopbackPort() { ::close(socket_); }

std::string LoopbackPort::Url(std::string_view path) const {
  return "http://127.0.0.1:" + std::to_string(port_) + std::string(path);
}

bool LoopbackPort::WaitForConnection() const {
  pollfd watched{socket_, POLLIN, 0};
  return ::poll(&watched, 1, 10000) == 1;
}

}  // namespace test_support
