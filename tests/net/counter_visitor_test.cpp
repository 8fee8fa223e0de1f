#include "net/counter_visitor.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "net/cookie_limits.h"
#include "net/wire_paths.h"
#include "tests/support/local_server.h"
#include "tests/support/loopback_port.h"

namespace lumetta_test {
namespace {

using lumetta_server::HeaderValue;

using test_support::LoopbackPort;

class CounterVisitorTest : public LocalServerTest {
 protected:
  // Visits run one after another, so once this marker load arrives every earlier one is done.
  void Drain(Code::CounterVisitor& visitor) {
    const std::size_t before = server_.Requests().size();
    visitor.Visit(Url("/drained"));
    ASSERT_TRUE(server_.WaitForRequests(before + 1, 30s));
  }

  std::vector<std::string> Targets() const {
    std::vector<std::string> targets;
    for (const auto& request : server_.Requests()) targets.push_back(request.target);
    return targets;
  }
};

TEST_F(CounterVisitorTest, SendsBackTheCookieTheFirstLoadSetWithTheWidgetsGetHeaders) {
  {
    Code::CounterVisitor visitor;
    visitor.Visit(Url(wire::kCountPath));
    visitor.Visit(Url(wire::kCountPath));
    ASSERT_TRUE(server_.WaitForRequests(2, 30s));
    Drain(visitor);
  }
  WidgetGet(Url(wire::kCountPath));

  const auto log = server_.Requests();
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(log[0].method, "GET");
  EXPECT_EQ(log[0].headers, log[3].headers);
  const auto loads = server_.CounterLoads();
  const auto visitor_loads =
      std::find_if(loads.begin(), loads.end(), [](const auto& entry) { return entry.second == 2; });
  ASSERT_NE(visitor_loads, loads.end());
  EXPECT_EQ(HeaderValue(log[1], "Cookie"), "CountId=" + visitor_loads->first);
}

TEST_F(CounterVisitorTest, FreshCookiesOnEveryVisitKeepTheJarWithinItsBoundsAndTheVisitorId) {
  Code::CounterVisitor visitor;
  // Each visit is answered and its cookies kept before the next script replaces its reply.
  const auto visit_count_page = [&] {
    const std::size_t before = server_.Requests().size();
    visitor.Visit(Url(wire::kCountPath));
    ASSERT_TRUE(server_.WaitForRequests(before + 1, 30s));
    Drain(visitor);
  };
  visit_count_page();
  for (int visit = 0; visit < 20; ++visit) {
    lumetta_server::ScriptedReply flood;
    for (int i = 0; i < 60; ++i) {
      // Fresh names on every visit: v0_0 to v19_59.
      std::string cookie = "v";
      cookie += std::to_string(visit);
      cookie += '_';
      cookie += std::to_string(i);
      cookie += '=';
      cookie.append(4000, 'x');
      cookie += "; Path=/";
      flood.headers.emplace_back("Set-Cookie", cookie);
    }
    server_.Script(std::string(wire::kCountPath), flood);
    visit_count_page();
  }

  const std::vector<std::string> cookies = visitor.Cookies();
  std::size_t bytes = 0;
  for (const std::string& line : cookies) bytes += line.size();
  EXPECT_LE(cookies.size(), Code::kMaxCookiesPerHost);
  EXPECT_LE(bytes, Code::kMaxJarBytes);
  EXPECT_GT(bytes, Code::kMaxJarBytes / 2);  // the flood did fill the jar
  EXPECT_EQ(std::count_if(cookies.begin(), cookies.end(),
                          [](const std::string& line) {
                            return line.find("\tCountId\t") != std::string::npos;
                          }),
            1);
}

TEST_F(CounterVisitorTest, KeepsOnlyAFewVisitsWhileALoadIsInFlight) {
  Code::CounterVisitor visitor;
  std::optional<LoopbackPort> silent(std::in_place, true);
  visitor.Visit(silent->Url());
  ASSERT_TRUE(silent->WaitForConnection());
  for (int i = 0; i < 20; ++i) visitor.Visit(Url(wire::kCountPath));
  // Closing the port resets the connection waiting in its backlog, which frees the worker.
  silent.reset();
  ASSERT_TRUE(server_.WaitForRequests(Code::CounterVisitor::kMaxPendingVisits, 30s));
  Drain(visitor);

  std::vector<std::string> expected(Code::CounterVisitor::kMaxPendingVisits,
                                    std::string(wire::kCountPath));
  expected.push_back("/drained");
  EXPECT_EQ(Targets(), expected);
}

TEST_F(CounterVisitorTest, OnlyWebAddressesAreLoaded) {
  Code::CounterVisitor visitor;
  visitor.Visit("file:///etc/hostname");
  Drain(visitor);
  EXPECT_EQ(Targets(), std::vector<std::string>{"/drained"});
}

// Passing means the visitors were destroyed at all, and nothing crashed or leaked.
TEST(CounterVisitorStopTest, StopsWhileAServerNeverAnswersOrRefuses) {
  const LoopbackPort silent(true);
  const LoopbackPort refused(false);
  {
    Code::CounterVisitor visitor;
    visitor.Visit(silent.Url());
    visitor.Visit(silent.Url());
    EXPECT_TRUE(silent.WaitForConnection());
  }
  Code::CounterVisitor visitor;
  for (int i = 0; i < 5; ++i) visitor.Visit(refused.Url());
}

}  // namespace
}  // namespace lumetta_test
