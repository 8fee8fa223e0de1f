// Start-up's requests share one time budget, measured on the panel's own clock.

#include <QTest>
#include <chrono>
#include <cstddef>
#include <string>
#include <vector>

#include "shell/server_text.h"
#include "tests/shell/widget_fixture.h"

namespace {

using namespace std::chrono_literals;
using ServerTextTest = WidgetTest;

// Each start-up request gets only what is left of the budget: an answer later than that does
// not count, and once nothing is left nothing more is sent.
TEST_F(ServerTextTest, EachStartUpRequestGetsOnlyWhatIsLeftOfTheBudget) {
  Reply("/soon", "soon");
  lumetta_server::ScriptedReply late;
  late.body = "late";
  late.delay = 1s;
  Server().Script("/late", late);
  std::chrono::steady_clock::time_point now{};
  shell::StartupBudget budget([&now] { return now; });
  shell::ServerText text(budget);
  std::vector<std::string> replies;
  const auto get = [&](const std::string& path) {
    text.Get("http://" + Server().host() + path,
             [&replies](const std::string& reply) { replies.push_back(reply); });
  };

  budget.Begin(5s);
  now += 1s;
  get("/soon");
  now += 3850ms;  // 150 ms left
  get("/late");
  now += 150ms;  // nothing left
  get("/soon");
  EXPECT_EQ(replies, (std::vector<std::string>{"soon", "", ""}));
  EXPECT_EQ(Server().Requests().size(), 2U);
}

// Fetch after fetch, each on a new connection, the replies arrive whole and the watch of the
// ended connections is handed on rather than piling up.
TEST_F(ServerTextTest, FetchAfterFetchTheSocketWatchIsHandedOn) {
  Reply("/text", "quote");
  shell::Fetcher fetcher;
  size_t first_count = 0;
  for (int round = 0; round < 4; ++round) {
    std::string reply;
    ASSERT_TRUE(shell::StartServerText(fetcher, "http://" + Server().host() + "/text",
                                       [&reply](const Code::HttpReply& got) { reply = got.text; }));
    ASSERT_TRUE(QTest::qWaitFor([&fetcher] { return !fetcher.Busy(); }, 20000)) << round;
    EXPECT_EQ(reply, "quote") << round;
    if (round == 0) first_count = fetcher.NotifierCount();
    EXPECT_EQ(fetcher.NotifierCount(), first_count) << round;
  }
  EXPECT_GT(first_count, 0U);
  EXPECT_EQ(Server().Requests().size(), 4U);
}

}  // namespace
