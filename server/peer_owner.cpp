#include "server/peer_owner.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cinttypes>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>

namespace lumetta_server {
namespace {

// An address and port as the kernel's tables spell them: the address in 32-bit words, each
// printed in host order, then the port; "0100007F:1F40" for 127.0.0.1:8000.
std::string TableForm(const sockaddr_storage& address) {
  char text[64] = {};
  if (address.ss_family == AF_INET) {
    sockaddr_in v4{};
    std::memcpy(&v4, &address, sizeof v4);
    std::snprintf(text, sizeof text, "%08" PRIX32 ":%04X", v4.sin_addr.s_addr, ntohs(v4.sin_port));
  } else if (address.ss_family == AF_INET6) {
    sockaddr_in6 v6{};
    std::memcpy(&v6, &address, sizeof v6);
    std::uint32_t words[4];
    std::memcpy(words, &v6.sin6_addr, sizeof words);
    std::snprintf(text, sizeof text, "%08" PRIX32 "%08" PRIX32 "%08" PRIX32 "%08" PRIX32 ":%04X",
                  words[0], words[1], words[2], words[3], ntohs(v6.sin6_port));
  }
  return text;
}

// An IPv4 peer of an IPv6 socket (::ffff:a.b.c.d) has its own socket in the IPv4 table.
sockaddr_storage Unmapped(const sockaddr_storage& address) {
  if (address.ss_family != AF_INET6) return address;
  sockaddr_in6 v6{};
  std::memcpy(&v6, &address, sizeof v6);
  if (!IN6_IS_ADDR_V4MAPPED(&v6.sin6_addr)) return address;
  sockaddr_in v4{};
  v4.sin_family = AF_INET;
  v4.sin_port = v6.sin6_port;
  std::memcpy(&v4.sin_addr, &v6.sin6_addr.s6_addr[12], sizeof v4.sin_addr);
  sockaddr_storage result{};
  std::memcpy(&result, &v4, sizeof v4);
  return result;
}

}  // namespace

std::optional<uid_t> PeerOwner(int socket) {
  sockaddr_storage local{};
  sockaddr_storage peer{};
  socklen_t local_size = sizeof local;
  socklen_t peer_size = sizeof peer;
  if (::getsockname(socket, reinterpret_cast<sockaddr*>(&local), &local_size) != 0 ||
      ::getpeername(socket, reinterpret_cast<sockaddr*>(&peer), &peer_size) != 0) {
    return std::nullopt;
  }
  local = Unmapped(local);
  peer = Unmapped(peer);
  if (local.ss_family != peer.ss_family ||
      (peer.ss_family != AF_INET && peer.ss_family != AF_INET6)) {
    return std::nullopt;
  }
  const std::string peer_end = TableForm(peer);
  const std::string our_end = TableForm(local);
  std::ifstream table(peer.ss_family == AF_INET ? "/proc/net/tcp" : "/proc/net/tcp6");
  std::string line;
  std::getline(table, line);  // the column names
  while (std::getline(table, line)) {
    // sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid ...
    std::istringstream fields(line);
    std::string slot, local_end, remote_end, state, queues, timer, retransmits;
    uid_t owner = 0;
    if (fields >> slot >> local_end >> remote_end >> state >> queues >> timer >> retransmits >>
            owner &&
        local_end == peer_end && remote_end == our_end) {
      return owner;
    }
  }
  return std::nullopt;
}

}  // namespace lumetta_server
