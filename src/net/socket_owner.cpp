#include "net/socket_owner.h"

#include <arpa/inet.h>
#include <linux/inet_diag.h>
#include <linux/netlink.h>
#include <linux/sock_diag.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstdint>
#include <cstring>
#include <functional>
#include <system_error>
#include <vector>

namespace Code {
namespace {

// An address as the kernel writes it into a socket's identity: 4 or 16 bytes.
struct RawAddress {
  int family = AF_UNSPEC;
  std::array<unsigned char, 16> bytes{};
};

std::optional<RawAddress> ToRaw(std::string_view ip) {
  const std::string text(ip);
  RawAddress raw;
  if (inet_pton(AF_INET, text.c_str(), raw.bytes.data()) == 1) {
    raw.family = AF_INET;
  } else if (inet_pton(AF_INET6, text.c_str(), raw.bytes.data()) == 1) {
    raw.family = AF_INET6;
  } else {
    return std::nullopt;
  }
  return raw;
}

bool SameAddress(const RawAddress& address, const __be32 (&kernel)[4]) {
  const std::size_t size = address.family == AF_INET ? 4 : 16;
  return std::memcmp(address.bytes.data(), kernel, size) == 0;
}

bool IsWildcard(int family, const __be32 (&kernel)[4]) {
  const std::size_t size = family == AF_INET ? 4 : 16;
  const std::array<unsigned char, 16> zero{};
  return std::memcmp(zero.data(), kernel, size) == 0;
}

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

// The calling thread's socket for questions about one socket, kept for its next question: a
// server asks once per connection. Replies are told apart by their sequence number, so that a
// late reply to a question that ran out of time is never taken for the next one's.
class OneSocketQueries {
 public:
  static OneSocketQueries& OfThisThread() {
    thread_local OneSocketQueries queries;
    return queries;
  }
  ~OneSocketQueries() { Drop(); }
  OneSocketQueries(const OneSocketQueries&) = delete;
  OneSocketQueries& operator=(const OneSocketQueries&) = delete;

  // The socket, opened when there is none; negative when it cannot be.
  int Socket() {
    if (fd_ < 0) fd_ = OpenDiagSocket();
    return fd_;
  }
  std::uint32_t NextSequence() { return ++sequence_; }
  // After a failure the socket may hold anything: the next question opens another.
  void Drop() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }

  static int OpenDiagSocket() {
    const int fd = ::socket(AF_NETLINK, SOCK_DGRAM | SOCK_CLOEXEC, NETLINK_SOCK_DIAG);
    if (fd < 0) return fd;
    // The kernel answers at once; the bound only keeps a broken one from holding a request.
    const timeval wait{1, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
    return fd;
  }

 private:
  OneSocketQueries() = default;
  int fd_ = -1;
  std::uint32_t sequence_ = 0;
};

// Shows `visit` every TCP socket of `family` whose state is in `states` (a mask of 1 << state),
// until it returns true; with `one`, only that socket. False when the kernel could not be asked
// or did not finish answering.
bool VisitTcpSockets(int family, std::uint32_t states,
                     const std::function<bool(const inet_diag_msg&)>& visit,
                     const inet_diag_sockid* one = nullptr) {
  // A dump gets a socket of its own: one left unread would hold the rest of its answer.
  const Descriptor own_socket(one == nullptr ? OneSocketQueries::OpenDiagSocket() : -1);
  OneSocketQueries& queries = OneSocketQueries::OfThisThread();
  const int netlink = one == nullptr ? own_socket.get() : queries.Socket();
  if (netlink < 0) return false;
  const std::uint32_t sequence = queries.NextSequence();
  const auto failed = [&] {
    if (one != nullptr) queries.Drop();
    return false;
  };

  struct {
    nlmsghdr header;
    inet_diag_req_v2 request;
  } message{};
  message.header.nlmsg_len = sizeof message;
  message.header.nlmsg_type = SOCK_DIAG_BY_FAMILY;
  message.header.nlmsg_flags = one == nullptr ? NLM_F_REQUEST | NLM_F_DUMP : NLM_F_REQUEST;
  message.header.nlmsg_seq = sequence;
  if (one != nullptr) message.request.id = *one;
  message.request.sdiag_family = static_cast<__u8>(family);
  message.request.sdiag_protocol = IPPROTO_TCP;
  message.request.idiag_states = states;
  sockaddr_nl kernel{};
  kernel.nl_family = AF_NETLINK;
  if (::sendto(netlink, &message, sizeof message, 0, reinterpret_cast<sockaddr*>(&kernel),
               sizeof kernel) != static_cast<ssize_t>(sizeof message)) {
    return failed();
  }

  alignas(nlmsghdr) std::array<char, 32768> buffer{};
  while (true) {
    const ssize_t received = ::recv(netlink, buffer.data(), buffer.size(), 0);
    if (received <= 0) return failed();
    auto length = static_cast<unsigned>(received);
    for (auto* header = reinterpret_cast<nlmsghdr*>(buffer.data()); NLMSG_OK(header, length);
         header = NLMSG_NEXT(header, length)) {
      if (header->nlmsg_seq != sequence) continue;  // a late answer to an earlier question
      if (header->nlmsg_type == NLMSG_DONE) return true;
      // An error ends a dump; for one socket it says there is none (ENOENT).
      if (header->nlmsg_type == NLMSG_ERROR) return false;
      if (header->nlmsg_len < NLMSG_LENGTH(sizeof(inet_diag_msg))) continue;
      if (visit(*static_cast<const inet_diag_msg*>(NLMSG_DATA(header)))) return true;
      if (one != nullptr) return true;  // the one answer is all there is
    }
  }
}

constexpr std::uint32_t Mask(int state) { return std::uint32_t{1} << state; }

// The address and port of a socket's end; nothing for a family other than IPv4 and IPv6.
std::optional<RawAddress> FromSocketAddress(const sockaddr_storage& address, int& port) {
  RawAddress raw;
  if (address.ss_family == AF_INET) {
    sockaddr_in v4{};
    std::memcpy(&v4, &address, sizeof v4);
    std::memcpy(raw.bytes.data(), &v4.sin_addr, sizeof v4.sin_addr);
    port = ntohs(v4.sin_port);
  } else if (address.ss_family == AF_INET6) {
    sockaddr_in6 v6{};
    std::memcpy(&v6, &address, sizeof v6);
    std::memcpy(raw.bytes.data(), &v6.sin6_addr, sizeof v6.sin6_addr);
    port = ntohs(v6.sin6_port);
  } else {
    return std::nullopt;
  }
  raw.family = address.ss_family;
  return raw;
}

// The numeric text of an address.
std::string Text(const RawAddress& address) {
  char text[INET6_ADDRSTRLEN] = {};
  inet_ntop(address.family, address.bytes.data(), text, sizeof text);
  return text;
}

// ::ffff:a.b.c.d, the form an IPv6 socket gives an IPv4 address, as that IPv4 address.
RawAddress Unmapped(const RawAddress& address) {
  static constexpr std::array<unsigned char, 12> kMappedPrefix = {0, 0, 0, 0, 0,    0,
                                                                  0, 0, 0, 0, 0xFF, 0xFF};
  if (address.family != AF_INET6 ||
      !std::equal(kMappedPrefix.begin(), kMappedPrefix.end(), address.bytes.begin())) {
    return address;
  }
  RawAddress v4;
  v4.family = AF_INET;
  std::copy(address.bytes.begin() + 12, address.bytes.end(), v4.bytes.begin());
  return v4;
}

// True when `kernel`, an address of a socket of `family` as the kernel reports it, is
// `address` once both are unmapped.
bool SameUnmapped(const RawAddress& address, int family, const __be32 (&kernel)[4]) {
  RawAddress reported;
  reported.family = family;
  std::memcpy(reported.bytes.data(), kernel, family == AF_INET ? 4 : 16);
  const RawAddress ours = Unmapped(address);
  const RawAddress theirs = Unmapped(reported);
  return ours.family == theirs.family && ours.bytes == theirs.bytes;
}

// The owner of the connected socket whose own end is (own, own_port) and whose peer is
// (peer, peer_port).
std::optional<uid_t> OwnerOfConnected(const RawAddress& own, int own_port, const RawAddress& peer,
                                      int peer_port) {
  if (own.family != peer.family) return std::nullopt;
  // One socket named by its four-tuple: the kernel looks it up in its hash instead of walking
  // every connection of the machine, which a dump would, before each request.
  inet_diag_sockid id{};
  id.idiag_sport = htons(static_cast<std::uint16_t>(own_port));
  id.idiag_dport = htons(static_cast<std::uint16_t>(peer_port));
  const std::size_t size = own.family == AF_INET ? 4 : 16;
  std::memcpy(id.idiag_src, own.bytes.data(), size);
  std::memcpy(id.idiag_dst, peer.bytes.data(), size);
  id.idiag_cookie[0] = INET_DIAG_NOCOOKIE;
  id.idiag_cookie[1] = INET_DIAG_NOCOOKIE;
  std::optional<uid_t> owner;
  VisitTcpSockets(
      own.family, Mask(TCP_ESTABLISHED),
      [&](const inet_diag_msg& socket) {
        // An IPv6 socket connected to an IPv4 address is found too, its ends written mapped.
        const inet_diag_sockid& found = socket.id;
        if (ntohs(found.idiag_sport) == own_port && ntohs(found.idiag_dport) == peer_port &&
            SameUnmapped(own, socket.idiag_family, found.idiag_src) &&
            SameUnmapped(peer, socket.idiag_family, found.idiag_dst)) {
          owner = socket.idiag_uid;
        }
        return true;
      },
      &id);
  return owner;
}

}  // namespace

bool IsLoopbackIp(std::string_view ip) {
  const std::optional<RawAddress> raw = ToRaw(ip);
  if (!raw) return false;
  const RawAddress address = Unmapped(*raw);
  if (address.family == AF_INET) return address.bytes[0] == 127;
  static constexpr std::array<unsigned char, 16> kLoopback6 = {0, 0, 0, 0, 0, 0, 0, 0,
                                                               0, 0, 0, 0, 0, 0, 0, 1};
  return address.bytes == kLoopback6;
}

std::optional<uid_t> ConnectedSocketOwner(const SocketAddress& local, const SocketAddress& remote) {
  const std::optional<RawAddress> own = ToRaw(local.ip);
  const std::optional<RawAddress> peer = ToRaw(remote.ip);
  if (!own || !peer) return std::nullopt;
  return OwnerOfConnected(*own, local.port, *peer, remote.port);
}

std::optional<uid_t> PeerSocketOwner(int connection, SocketAddress* own_end,
                                     SocketAddress* peer_end) {
  sockaddr_storage ours{};
  sockaddr_storage theirs{};
  socklen_t our_size = sizeof ours;
  socklen_t their_size = sizeof theirs;
  if (::getsockname(connection, reinterpret_cast<sockaddr*>(&ours), &our_size) != 0 ||
      ::getpeername(connection, reinterpret_cast<sockaddr*>(&theirs), &their_size) != 0) {
    return std::nullopt;
  }
  int our_port = 0;
  int their_port = 0;
  const std::optional<RawAddress> own = FromSocketAddress(ours, our_port);
  const std::optional<RawAddress> peer = FromSocketAddress(theirs, their_port);
  if (!own || !peer) return std::nullopt;
  if (own_end != nullptr) *own_end = {Text(*own), our_port};
  if (peer_end != nullptr) *peer_end = {Text(*peer), their_port};
  // The peer's socket has the ends swapped: its own address is our peer.
  return OwnerOfConnected(Unmapped(*peer), their_port, Unmapped(*own), our_port);
}

std::optional<uid_t> ListeningSocketOwner(const SocketAddress& at) {
  const std::optional<RawAddress> address = ToRaw(at.ip);
  if (!address) return std::nullopt;
  std::optional<uid_t> owner;
  const auto match = [&](const inet_diag_msg& socket) {
    const inet_diag_sockid& id = socket.id;
    if (ntohs(id.idiag_sport) != at.port) return false;
    if (socket.idiag_family == address->family && SameAddress(*address, id.idiag_src)) {
      owner = socket.idiag_uid;
      return true;
    }
    // A wildcard listener takes the connection where no listener of the exact address is.
    if (IsWildcard(socket.idiag_family, id.idiag_src) && !owner) owner = socket.idiag_uid;
    return false;
  };
  VisitTcpSockets(address->family, Mask(TCP_LISTEN), match);
  // An IPv6 wildcard listener takes IPv4 connections too, unless it is IPv6 only.
  if (!owner && address->family == AF_INET) VisitTcpSockets(AF_INET6, Mask(TCP_LISTEN), match);
  return owner;
}

bool LoopbackServerOfAnotherUser(std::string_view host_and_port) {
  std::string_view host = host_and_port;
  std::string_view port_text;
  if (host.starts_with('[')) {
    const std::size_t close = host.find(']');
    if (close == std::string_view::npos) return false;
    port_text = host.substr(close + 1);
    host = host.substr(1, close - 1);
    if (!port_text.empty() && !port_text.starts_with(':')) return false;
    if (!port_text.empty()) port_text.remove_prefix(1);
  } else if (const std::size_t colon = host.find(':'); colon != std::string_view::npos) {
    port_text = host.substr(colon + 1);
    host = host.substr(0, colon);
  }
  int port = 80;
  if (!port_text.empty()) {
    const auto [end, error] =
        std::from_chars(port_text.data(), port_text.data() + port_text.size(), port);
    if (error != std::errc() || end != port_text.data() + port_text.size()) return false;
  }
  std::vector<std::string> addresses;
  if (host == "localhost") {
    addresses = {"127.0.0.1", "::1"};
  } else if (IsLoopbackIp(host)) {
    addresses = {std::string(host)};
  }
  for (const std::string& ip : addresses) {
    const std::optional<uid_t> owner = ListeningSocketOwner({ip, port});
    if (owner && *owner != ::getuid()) return true;
  }
  return false;
}

}  // namespace Code
