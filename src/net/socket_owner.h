#pragma once

// Who owns a TCP socket on this machine, as the kernel's socket diagnostics tell. A server on
// a loopback address may belong to any account of the machine: the panel talks to one only
// when it is its own user's.

#include <sys/types.h>

#include <optional>
#include <string>
#include <string_view>

namespace Code {

// One end of a TCP connection: a numeric IPv4 or IPv6 address and a port.
struct SocketAddress {
  std::string ip;
  int port = 0;
};

// True for 127.0.0.0/8, ::1 and IPv4-mapped 127.x.y.z, written numerically.
bool IsLoopbackIp(std::string_view ip);

// The owner of the connected TCP socket whose own address is `local` and whose peer is
// `remote`: for our connection to a server, the server's end is (server address, our
// address). nullopt when no such socket is found or the kernel does not tell.
std::optional<uid_t> ConnectedSocketOwner(const SocketAddress& local, const SocketAddress& remote);

// The owner of the socket at the other end of `connection`, a TCP connection between two
// sockets of this machine (one a server accepted over loopback, say): the socket whose own
// address is `connection`'s peer and whose peer is `connection` itself. An IPv4 peer of an
// IPv6 socket is looked up as the IPv4 socket it is. nullopt when `connection` has no peer,
// the peer is not on this machine or the kernel does not tell. `own_end` and `peer_end`, when
// given, receive `connection`'s own address and its peer's as found on the way (numeric, an
// IPv4 peer of an IPv6 socket in its ::ffff: form), so that a server need not ask again.
std::optional<uid_t> PeerSocketOwner(int connection, SocketAddress* own_end = nullptr,
                                     SocketAddress* peer_end = nullptr);

// The owner of the socket listening at `at`, or at the wildcard address of its family on the
// same port; nullopt when none listens there or the kernel does not tell.
std::optional<uid_t> ListeningSocketOwner(const SocketAddress& at);

// For a quote server given as HOST[:PORT] (port 80 by default): true only when HOST is a
// loopback address or "localhost" and a socket listening there belongs to another user.
bool LoopbackServerOfAnotherUser(std::string_view host_and_port);

}  // namespace Code
