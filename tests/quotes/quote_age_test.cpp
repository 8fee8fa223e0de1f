#include "quotes/quote_age.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using quotes::QuoteAge;
using std::chrono::milliseconds;

struct AgeCase {
  int interval_ms;
  std::optional<int> applied_at_ms;  // nullopt: no quote since the product was chosen at 0
  int now_ms;
  QuoteAge expected;
};

class QuoteAgeTest : public ::testing::TestWithParam<AgeCase> {};

TEST_P(QuoteAgeTest, PlainlyOldOnlyPastTheLongerOfThirtySecondsAndThreeIntervals) {
  const AgeCase& c = GetParam();
  const quotes::MonotonicTime origin{std::chrono::hours(1)};
  std::optional<quotes::MonotonicTime> applied;
  if (c.applied_at_ms) applied = origin + milliseconds(*c.applied_at_ms);
  const quotes::MonotonicTime now = origin + milliseconds(c.now_ms);
  const milliseconds interval(c.interval_ms);
  EXPECT_EQ(quotes::AgeOfQuote(now, applied, origin, interval), c.expected);

  // The wait for the sign ends exactly where the age stops being live, not a tick later.
  const milliseconds wait = quotes::TimeUntilStale(now, applied, origin, interval);
  if (c.expected != QuoteAge::kLive) {
    EXPECT_EQ(wait, milliseconds(0));
  } else {
    EXPECT_NE(quotes::AgeOfQuote(now + wait, applied, origin, interval), QuoteAge::kLive);
    EXPECT_EQ(quotes::AgeOfQuote(now + wait - milliseconds(1), applied, origin, interval),
              QuoteAge::kLive);
  }
}

INSTANTIATE_TEST_SUITE_P(Cases, QuoteAgeTest,
                         ::testing::Values(
                             // At 3 s and 5 s the 30 s floor holds: exactly 30 s old is still live.
                             AgeCase{3000, 1000, 31000, QuoteAge::kLive},
                             AgeCase{3000, 1000, 31001, QuoteAge::kStale},
                             AgeCase{5000, 0, 30001, QuoteAge::kStale},
                             // At 15 s three intervals are longer than the floor.
                             AgeCase{15000, 0, 30001, QuoteAge::kLive},
                             AgeCase{15000, 0, 45000, QuoteAge::kLive},
                             AgeCase{15000, 0, 45001, QuoteAge::kStale},
                             // No quote since the choice: measured from the choice itself.
                             AgeCase{3000, std::nullopt, 30000, QuoteAge::kLive},
                             AgeCase{3000, std::nullopt, 30001, QuoteAge::kNeverCame},
                             AgeCase{15000, std::nullopt, 30001, QuoteAge::kLive},
                             // A recent quote after a long wait is live at once.
                             AgeCase{3000, 90000, 90500, QuoteAge::kLive}));

TEST(QuoteAgeTipTest, LinesNameTheTimeAndTheServer) {
  EXPECT_EQ(quotes::StaleTipLine(9, 5, 7), "行情暂停更新 最后报价 09:05:07");
  EXPECT_EQ(quotes::StaleTipLine(23, 59, 0), "行情暂停更新 最后报价 23:59:00");
  EXPECT_EQ(quotes::NoServerTipLine("127.0.0.1:8750"), "无法连接行情服务器 127.0.0.1:8750");
}

}  // namespace
