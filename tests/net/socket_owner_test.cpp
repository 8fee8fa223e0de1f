// A server on loopback may belong to any account of the machine: the panel's requests reach
// only its own user's, never through a proxy, and the counter's redirects stay on its server.

#include "net/socket_owner.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

#include "net/counter_visitor.h"
#include "net/http_request.h"
#include "net/wire_paths.h"
#include "tests/support/foreign_client.h"
#include "tests/support/foreign_listener.h"
#include "tests/support/local_server.h"
#include "tests/support/loopback_port.h"

namespace lumetta_test {
namespace {

TEST(SocketOwnerTest, LoopbackIsTheWholeOf127AndTheOneIpv6Address) {
  for (const char* ip : {"127.0.0.1", "127.255.3.4", "::1", "::ffff:127.0.0.1"}) {
    EXPECT_TRUE(Code::IsLoopbackIp(ip)) << ip;
  }
  for (const char* ip : {"128.0.0.1", "10.0.0.1", "::2", "::ffff:10.0.0.1", "localhost", ""}) {
    EXPECT_FALSE(Code::IsLoopbackIp(ip)) << ip;
  }
}

// Where a server listens: an IPv4 socket, an IPv6 one, or an IPv6 one that IPv4 clients reach
// (their addresses then read ::ffff:127.0.0.1).
enum class Listening { kIpv4, kIpv6, kIpv4OnIpv6 };

struct Endpoint {
  int family = AF_INET;
  std::string ip;
};

Endpoint ListenAt(Listening listening) {
  switch (listening) {
    case Listening::kIpv4:
      return {AF_INET, "127.0.0.1"};
    case Listening::kIpv6:
      return {AF_INET6, "::1"};
    case Listening::kIpv4OnIpv6:
      return {AF_INET6, "::ffff:127.0.0.1"};
  }
  return {};
}

// A socket of `family` bound to `ip`, on any free port when `port` is 0; listening when
// `listen` is true, else connected to `port`.
int TcpSocket(int family, const std::string& ip, int port, bool listen) {
  const int fd = ::socket(family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_storage address{};
  socklen_t size = 0;
  if (family == AF_INET) {
    auto* v4 = reinterpret_cast<sockaddr_in*>(&address);
    v4->sin_family = AF_INET;
    v4->sin_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET, ip.c_str(), &v4->sin_addr);
    size = sizeof *v4;
  } else {
    auto* v6 = reinterpret_cast<sockaddr_in6*>(&address);
    v6->sin6_family = AF_INET6;
    v6->sin6_port = htons(static_cast<uint16_t>(port));
    ::inet_pton(AF_INET6, ip.c_str(), &v6->sin6_addr);
    size = sizeof *v6;
  }
  const auto* name = reinterpret_cast<const sockaddr*>(&address);
  const bool done =
      listen ? ::bind(fd, name, size) == 0 && ::listen(fd, 4) == 0 : ::connect(fd, name, size) == 0;
  EXPECT_TRUE(done) << ip << " " << std::strerror(errno);
  return fd;
}

int PortOf(int fd) {
  sockaddr_storage address{};
  socklen_t size = sizeof address;
  ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &size);
  return address.ss_family == AF_INET
             ? ntohs(reinterpret_cast<const sockaddr_in*>(&address)->sin_port)
             : ntohs(reinterpret_cast<const sockaddr_in6*>(&address)->sin6_port);
}

class PeerSocketOwnerTest : public ::testing::TestWithParam<Listening> {
 protected:
  void SetUp() override {
    const Endpoint at = ListenAt(GetParam());
    listener_ = TcpSocket(at.family, at.ip, 0, true);
    port_ = PortOf(listener_);
  }
  void TearDown() override { ::close(listener_); }

  // A client of this process on the address family its server's clients use.
  int ConnectOwnClient() const {
    return GetParam() == Listening::kIpv6 ? TcpSocket(AF_INET6, "::1", port_, false)
                                          : TcpSocket(AF_INET, "127.0.0.1", port_, false);
  }

  int listener_ = -1;
  int port_ = 0;
};

TEST_P(PeerSocketOwnerTest, NamesThisAccountAtTheOtherEndAndNothingWithoutOne) {
  const int client = ConnectOwnClient();
  const int accepted = ::accept(listener_, nullptr, nullptr);
  ASSERT_GE(accepted, 0);
  EXPECT_EQ(Code::PeerSocketOwner(accepted), ::geteuid());
  EXPECT_EQ(Code::PeerSocketOwner(client), ::geteuid());      // either end's peer
  EXPECT_EQ(Code::PeerSocketOwner(listener_), std::nullopt);  // no peer at all
  ::close(accepted);
  ::close(client);
}

// The account found is the peer's, not the one of the socket asked about.
TEST_P(PeerSocketOwnerTest, NamesAnotherAccountsClient) {
  if (GetParam() == Listening::kIpv6) GTEST_SKIP() << "the other account's client is IPv4";
  test_support::ForeignClient foreign;
  if (!foreign.Available()) GTEST_SKIP() << "needs root to connect as another user";
  ASSERT_EQ(foreign.Open(port_, 1, ""), 1);
  const int accepted = ::accept(listener_, nullptr, nullptr);
  ASSERT_GE(accepted, 0);
  EXPECT_EQ(Code::PeerSocketOwner(accepted), test_support::ForeignClient::kOwner);
  ::close(accepted);
}

std::string ListeningName(const ::testing::TestParamInfo<Listening>& info) {
  constexpr const char* kNames[] = {"Ipv4", "Ipv6", "Ipv4OnIpv6"};
  return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Families, PeerSocketOwnerTest,
                         ::testing::Values(Listening::kIpv4, Listening::kIpv6,
                                           Listening::kIpv4OnIpv6),
                         ListeningName);

TEST(PeerSocketOwnerOtherTest, NothingForASocketOtherThanTcp) {
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, pair), 0);
  EXPECT_EQ(Code::PeerSocketOwner(pair[0]), std::nullopt);
  ::close(pair[0]);
  ::close(pair[1]);
}

using SocketOwnerServerTest = LocalServerTest;

// Another account's listener gets the connection but not one byte of a request, and the
// panel can tell why; the test's own server is its own user's.
TEST_F(SocketOwnerServerTest, AnotherUsersServerIsNeverSentARequest) {
  test_support::ForeignListener foreign;
  if (!foreign.Available()) GTEST_SKIP() << "needs root to listen as another user";
  const std::string host = "127.0.0.1:" + std::to_string(foreign.port());
  Code::HttpLimits limits;
  limits.total_timeout = 5s;
  EXPECT_EQ(Code::HttpRequest(ServerUrl(host, wire::kPricePath, "?Type=0&r=1"), false, "GET", "",
                              "", "", "", false, "gb2312", limits),
            "");
  EXPECT_EQ(Code::ListeningSocketOwner({"127.0.0.1", foreign.port()}),
            test_support::ForeignListener::kOwner);
  EXPECT_TRUE(Code::LoopbackServerOfAnotherUser(host));
  EXPECT_TRUE(Code::LoopbackServerOfAnotherUser("localhost:" + std::to_string(foreign.port())));
  EXPECT_EQ(foreign.StopAndCountBytes(), 0);

  EXPECT_FALSE(Code::LoopbackServerOfAnotherUser(server_.host()));
  EXPECT_NE(WidgetGet(Url(wire::kPricePath, "?Type=0&r=1")), "");
}

// A proxy from the environment would see, and could answer, every quote request.
TEST_F(SocketOwnerServerTest, AProxyInTheEnvironmentIsNotUsedForLoopback) {
  const test_support::SilentPort proxy;
  const std::string proxy_url = proxy.Url();
  ::setenv("http_proxy", proxy_url.c_str(), 1);  // NOLINT(concurrency-mt-unsafe)
  ::setenv("no_proxy", "example.test", 1);       // NOLINT(concurrency-mt-unsafe)
  Code::HttpLimits limits;
  limits.total_timeout = 5s;
  const std::string reply = Code::HttpRequest(Url(wire::kPricePath, "?Type=0&r=1"), false, "GET",
                                              "", "", "", "", false, "gb2312", limits);
  ::unsetenv("http_proxy");  // NOLINT(concurrency-mt-unsafe)
  ::unsetenv("no_proxy");    // NOLINT(concurrency-mt-unsafe)
  EXPECT_NE(reply, "");
}

using CounterRedirectTest = LocalServerTest;

TEST_F(CounterRedirectTest, TheCountersRedirectsStayOnItsServer) {
  lumetta_server::QuoteServer elsewhere(StillOptions());
  ASSERT_TRUE(elsewhere.Start());
  lumetta_server::ScriptedReply away;
  away.status = 302;
  away.headers = {{"Location", ServerUrl(elsewhere.host(), "/away")}};
  server_.Script("/to-away", away);
  lumetta_server::ScriptedReply home;
  home.status = 302;
  home.headers = {{"Location", Url("/home")}};
  server_.Script("/to-home", home);

  {
    Code::CounterVisitor visitor;
    visitor.Visit(Url("/to-away"));
    visitor.Visit(Url("/to-home"));
    ASSERT_TRUE(server_.WaitForRequests(3, 30s));
  }
  std::vector<std::string> targets;
  for (const auto& request : server_.Requests()) targets.push_back(request.target);
  EXPECT_EQ(targets, (std::vector<std::string>{"/to-away", "/to-home", "/home"}));
  EXPECT_TRUE(elsewhere.Requests().empty());
}

}  // namespace
}  // namespace lumetta_test
