#pragma once

#include <sys/types.h>

#include <optional>

namespace lumetta_server {

// The account that owns the other end of `socket`, a TCP connection accepted on this machine
// (over loopback, say): the kernel lists every TCP socket with its owner in /proc/net/tcp and
// tcp6, and the peer's is the one whose ends are this socket's ends swapped. Nothing when the
// peer is not found there (another machine, another network namespace) or the socket is not TCP.
std::optional<uid_t> PeerOwner(int socket);

}  // namespace lumetta_server
