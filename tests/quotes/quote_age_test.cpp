#include "quotes/quote_age.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <ostream>

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

struct MarketCase {
  std::int64_t market_time;  // seconds since the epoch
  std::int64_t now_ms;       // milliseconds of the wall clock since the epoch
  bool stale;

  friend void PrintTo(const MarketCase& c, std::ostream* out) {
    *out << "market " << c.market_time << " s, now " << c.now_ms << " ms";
  }
};

class MarketTimeTest : public ::testing::TestWithParam<MarketCase> {};

TEST_P(MarketTimeTest, StaleOnlyPastTenMinutesOfMarketTime) {
  const MarketCase& c = GetParam();
  const std::chrono::system_clock::time_point now{milliseconds(c.now_ms)};
  EXPECT_EQ(quotes::MarketTimeIsStale(now, c.market_time), c.stale);
}

INSTANTIATE_TEST_SUITE_P(Cases, MarketTimeTest,
                         ::testing::Values(
                             // Exactly ten minutes old is still live; a millisecond more is not.
                             MarketCase{1000, 1600000, false}, MarketCase{1000, 1600001, true},
                             MarketCase{1000, 1000000, false},
                             // Hours old: a closed market.
                             MarketCase{1000, (1000 + 5 * 3600) * 1000, true},
                             // Ahead of the wall clock, however far.
                             MarketCase{1001, 1000999, false},
                             MarketCase{INT64_MAX, 1000000, false},
                             // Before 1970, however far.
                             MarketCase{INT64_MIN, 1000000, true}));

TEST(QuoteAgeTipTest, TheMarketTimesLineHasTheDateUnlessItIsToday) {
  const quotes::LocalTime now{2026, 12, 8, 9, 0, 0};
  EXPECT_EQ(quotes::StaleTipLine({2026, 12, 8, 7, 5, 1}, now), "行情暂停更新 最后报价 07:05:01");
  EXPECT_EQ(quotes::StaleTipLine({2026, 12, 7, 15, 30, 1}, now),
            "行情暂停更新 最后报价 12-07 15:30:01");
  // Another month, or the same day of another year.
  EXPECT_EQ(quotes::StaleTipLine({2026, 11, 8, 23, 59, 59}, now),
            "行情暂停更新 最后报价 11-08 23:59:59");
  EXPECT_EQ(quotes::StaleTipLine({2025, 12, 8, 9, 0, 0}, now),
            "行情暂停更新 最后报价 12-08 09:00:00");
}

TEST(QuoteAgeTipTest, LinesNameTheTimeAndTheServer) {
  EXPECT_EQ(quotes::StaleTipLine(9, 5, 7), "行情暂停更新 最后报价 09:05:07");
  EXPECT_EQ(quotes::StaleTipLine(23, 59, 0), "行情暂停更新 最后报价 23:59:00");
  EXPECT_EQ(quotes::NoServerTipLine("127.0.0.1:8750"), "无法连接行情服务器 127.0.0.1:8750");
}

}  // namespace
