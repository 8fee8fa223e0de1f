// A server on loopback may belong to any account of the machine: the panel's requests reach
// only its own user's, never through a proxy, and the counter's redirects stay on its server.

#include "net/socket_owner.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "net/counter_visitor.h"
#include "net/http_request.h"
#include "net/wire_paths.h"
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
