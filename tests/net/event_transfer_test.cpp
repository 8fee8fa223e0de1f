#include "net/event_transfer.h"

#include <gtest/gtest.h>
#include <poll.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "net/curl_transfer.h"
#include "net/http_request.h"
#include "tests/support/foreign_listener.h"
#include "tests/support/local_server.h"
#include "tests/support/loopback_port.h"

namespace lumetta_test {
namespace {

using Clock = std::chrono::steady_clock;
using Watch = Code::EventTransfer::Watch;

// A poll() loop standing in for the panel's event loop: it watches exactly what the transfer
// asks for and nothing else, so a watch the transfer forgets to ask for stalls it.
class PollLoop {
 public:
  Code::EventTransfer::Loop Hooks() {
    return {[this](int fd, Watch watch) {
              if (watch == Watch::kNone) {
                watches_.erase(fd);
              } else {
                watches_[fd] = watch;
              }
            },
            [this](long delay_ms) {
              timer_.reset();
              if (delay_ms >= 0) timer_ = Clock::now() + std::chrono::milliseconds(delay_ms);
            }};
  }

  // Serves `transfer` until `finished` holds; false when that took more than a bound far above
  // any of the tests' limits.
  bool RunUntil(Code::EventTransfer& transfer, const std::function<bool()>& finished) {
    const Clock::time_point give_up = Clock::now() + 10s;
    while (!finished()) {
      if (Clock::now() > give_up) return false;
      std::vector<pollfd> fds;
      for (const auto& [fd, watch] : watches_) {
        const short events = static_cast<short>((watch != Watch::kWrite ? POLLIN : 0) |
                                                (watch != Watch::kRead ? POLLOUT : 0));
        fds.push_back({fd, events, 0});
      }
      int wait_ms = 100;
      if (timer_) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(*timer_ - Clock::now());
        wait_ms = std::max(0, std::min(wait_ms, static_cast<int>(left.count())));
      }
      ::poll(fds.data(), fds.size(), wait_ms);
      for (const pollfd& fd : fds) {
        if (fd.revents == 0) continue;
        transfer.Ready(fd.fd, (fd.revents & (POLLIN | POLLHUP | POLLERR)) != 0,
                       (fd.revents & POLLOUT) != 0);
      }
      if (timer_ && Clock::now() >= *timer_) {
        timer_.reset();
        transfer.Timeout();
      }
    }
    return true;
  }

  bool Idle() const { return watches_.empty(); }

 private:
  std::map<int, Watch> watches_;
  std::optional<Clock::time_point> timer_;
};

Code::PreparedRequest Get(const std::string& url) {
  return Code::PrepareRequest(url, false, "GET", "", "", "", "");
}

using EventTransferTest = LocalServerTest;

// Requests follow one another on the kept handles: each runs on the loop alone, none overlaps
// another, and none takes anything from the one before (here its method and body).
TEST_F(EventTransferTest, RequestsRunOnTheLoopOneAtATimeEachAfresh) {
  lumetta_server::ScriptedReply reply;
  reply.body = "first";
  server_.Script("/a", reply);
  reply.body = "second";
  server_.Script("/b", reply);
  PollLoop loop;
  Code::EventTransfer transfer(loop.Hooks());
  std::vector<Code::TransferOutcome> outcomes;
  bool finished = false;
  ASSERT_TRUE(transfer.Start(Code::PrepareRequest(Url("/a"), false, "POST", "k=v", "", "", ""),
                             Code::HttpLimits{}, [&](const Code::TransferOutcome& outcome) {
                               outcomes.push_back(outcome);
                               EXPECT_FALSE(transfer.Busy());
                               // The next request may start from the report of the last.
                               EXPECT_TRUE(transfer.Start(Get(Url("/b")), Code::HttpLimits{},
                                                          [&](const Code::TransferOutcome& next) {
                                                            outcomes.push_back(next);
                                                            finished = true;
                                                          }));
                             }));
  EXPECT_TRUE(transfer.Busy());
  EXPECT_FALSE(transfer.Start(Get(Url("/b")), Code::HttpLimits{}, {}));
  EXPECT_TRUE(outcomes.empty());  // nothing is waited for in Start
  ASSERT_TRUE(loop.RunUntil(transfer, [&] { return finished; }));

  ASSERT_EQ(outcomes.size(), 2U);
  for (const Code::TransferOutcome& outcome : outcomes) {
    EXPECT_TRUE(outcome.completed);
    EXPECT_EQ(outcome.status, 200);
  }
  EXPECT_EQ(outcomes[0].body, "first");
  EXPECT_EQ(outcomes[1].body, "second");
  const auto log = server_.Requests();
  ASSERT_EQ(log.size(), 2U);
  EXPECT_EQ(log[0].method, "POST");
  EXPECT_EQ(log[0].body, "k=v");
  EXPECT_EQ(log[1].method, "GET");
  EXPECT_EQ(log[1].body, "");
  // The connection is closed and unwatched once its reply is in.
  EXPECT_TRUE(loop.Idle());
}

// Every way a request can fail ends in one failed report through the loop: a refused port, a
// server that never answers (its limit runs out on the loop's timer), and another account's
// server, which is not sent one byte.
TEST_F(EventTransferTest, FailuresAreReportedOnceThroughTheLoop) {
  const test_support::ClosedPort closed;
  const test_support::SilentPort silent;
  test_support::ForeignListener foreign;
  std::vector<std::string> urls = {closed.Url(), silent.Url()};
  if (foreign.Available()) {
    urls.push_back("http://127.0.0.1:" + std::to_string(foreign.port()) + "/");
  }
  Code::HttpLimits limits;
  limits.connect_timeout = 300ms;
  limits.total_timeout = 300ms;
  for (const std::string& url : urls) {
    SCOPED_TRACE(url);
    PollLoop loop;
    Code::EventTransfer transfer(loop.Hooks());
    int reports = 0;
    bool finished = false;
    ASSERT_TRUE(transfer.Start(Get(url), limits, [&](const Code::TransferOutcome& outcome) {
      ++reports;
      finished = true;
      EXPECT_FALSE(outcome.completed);
      EXPECT_EQ(outcome.status, 0);
    }));
    ASSERT_TRUE(loop.RunUntil(transfer, [&] { return finished; }));
    EXPECT_EQ(reports, 1);
  }
  if (foreign.Available()) {
    EXPECT_EQ(foreign.StopAndCountBytes(), 0);
  }
}

// A transfer given up half-way (the panel closing) never reports.
TEST_F(EventTransferTest, AnAbandonedTransferNeverReports) {
  lumetta_server::ScriptedReply late;
  late.body = "late";
  late.delay = 2s;
  server_.Script("/late", late);
  PollLoop loop;
  bool reported = false;
  {
    Code::EventTransfer transfer(loop.Hooks());
    ASSERT_TRUE(transfer.Start(Get(Url("/late")), Code::HttpLimits{},
                               [&](const Code::TransferOutcome&) { reported = true; }));
    ASSERT_TRUE(loop.RunUntil(transfer, [&] { return !server_.Requests().empty(); }));
  }
  EXPECT_FALSE(reported);
}

}  // namespace
}  // namespace lumetta_test
