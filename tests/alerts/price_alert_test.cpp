#include "alerts/price_alert.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

namespace alerts {
namespace {

// A run of quotes against one product's levels, and which quotes fire ("a" above, "b" below,
// "-" nothing), one letter per quote.
struct QuoteRun {
  const char* name;
  const char* stored;
  std::vector<double> prices;
  std::string fired;
};

void PrintTo(const QuoteRun& run, std::ostream* out) { *out << run.name; }

class CrossingTest : public testing::TestWithParam<QuoteRun> {};

TEST_P(CrossingTest, FiresOnceAndRearmsPastTheMargin) {
  const QuoteRun& run = GetParam();
  AlertBook book;
  book.Set("au", ParseStored(run.stored).value());
  std::string fired;
  for (const double price : run.prices) {
    const std::vector<Crossing> crossings = book.OnQuote("au", price);
    ASSERT_LE(crossings.size(), 1U);
    fired += crossings.empty() ? '-' : crossings[0].direction == Direction::kAbove ? 'a' : 'b';
  }
  EXPECT_EQ(fired, run.fired);
}

// Level 1000: the margin is 1, so the above level re-arms at 999 or lower, the below at 1001
// or higher.
INSTANTIATE_TEST_SUITE_P(
    Levels, CrossingTest,
    testing::Values(
        QuoteRun{"RisingThroughAbove", "1000,", {990, 999.99, 1000.5, 1003, 1001}, "--a--"},
        QuoteRun{"ExactlyAtAbove", "1000,", {999, 1000}, "-a"},
        QuoteRun{"WaverWithinMargin", "1000,", {1000, 999.5, 1000, 999.1, 1000.2}, "a----"},
        QuoteRun{"RearmedBelowMargin", "1000,", {1000, 998.9, 999.5, 1000}, "a--a"},
        QuoteRun{"FallingThroughBelow", ",1000", {1010, 1000.01, 999, 990}, "--b-"},
        QuoteRun{"ExactlyAtBelow", ",1000", {1000}, "b"},
        QuoteRun{"BelowRearmsAboveMargin", ",1000", {999, 1000.5, 1000, 1001.1, 1000}, "b---b"},
        QuoteRun{"AlreadyPastWhenSet", "1000,", {1200, 1200}, "a-"},
        QuoteRun{"BothSides", "1010,990", {1000, 1010, 990, 1010}, "-aba"}),
    [](const testing::TestParamInfo<QuoteRun>& info) { return std::string(info.param.name); });

TEST(AlertBookTest, ProductsKeepTheirOwnLevelsAndState) {
  AlertBook book;
  book.Set("au", {Level{"500", 500}, std::nullopt});
  book.Set("ag", {std::nullopt, Level{"5", 5}});
  EXPECT_TRUE(book.OnQuote("ag", 600).empty());
  EXPECT_EQ(book.OnQuote("au", 600).size(), 1U);
  EXPECT_EQ(book.OnQuote("ag", 4.5), (std::vector<Crossing>{{Direction::kBelow, {"5", 5}}}));
  EXPECT_TRUE(book.OnQuote("pt", 1).empty());
  book.Set("au", {});
  EXPECT_EQ(book.Find("au"), nullptr);
  EXPECT_NE(book.Find("ag"), nullptr);
}

// After the level above fired at 1000, the levels set again: only a new or changed level
// fires on the next quote at the same price.
TEST(AlertBookTest, OnlyANewOrChangedLevelStartsArmed) {
  for (const auto& [stored, fired] : {std::pair<const char*, std::size_t>{"1000,", 0},
                                      {"1000.00,", 0},
                                      {"1000,1000", 1},
                                      {"999,", 1}}) {
    AlertBook book;
    book.Set("au", ParseStored("1000,").value());
    book.OnQuote("au", 1000);
    book.Set("au", ParseStored(stored).value());
    EXPECT_EQ(book.OnQuote("au", 1000).size(), fired) << stored;
  }
}

TEST(StoredAlertTest, ReadsTwoOptionalLevelsAndWritesThemBack) {
  for (const char* stored : {"542.30,", ",541.5", "542,541", ".5,10.", "0.01,"}) {
    SCOPED_TRACE(stored);
    const std::optional<Levels> levels = ParseStored(stored);
    ASSERT_TRUE(levels.has_value());
    EXPECT_EQ(StoredText(*levels), stored);
  }
  EXPECT_DOUBLE_EQ(ParseStored("542.30,").value().above->value, 542.3);
}

TEST(StoredAlertTest, RefusesAnythingButTwoOptionalPositiveDecimals) {
  for (const char* stored : {"", ",", "542", "542,541,540", "-1,", "+1,", "0,", "0.0,", "1e3,",
                             " 1,", "1 ,", "1.2.3,", ".,", "1,abc", "inf,", "nan,", "１,"}) {
    SCOPED_TRACE(stored);
    EXPECT_FALSE(ParseStored(stored).has_value());
  }
}

// Leading zeros go; past ten digits before the point or four after it the settings file, which
// gives values back cut at 1023 bytes, might not keep the level.
TEST(LevelTest, KeepsToTheBoundsWithoutLeadingZeros) {
  EXPECT_EQ(StoredText(ParseStored("0012.5,000.5").value()), "12.5,0.5");
  EXPECT_EQ(ParseLevel("9999999999.9999").value().text, "9999999999.9999");
  for (const std::string& refused :
       {std::string("10000000000"), std::string("1.00001"), "1." + std::string(1100, '0')}) {
    EXPECT_FALSE(ParseLevel(refused).has_value()) << refused.substr(0, 20);
  }
}

TEST(CrossingTextTest, SaysThePriceAndTheLevelCrossed) {
  EXPECT_EQ(CrossingText({"542.30", 542.3}, {Direction::kAbove, {"542.00", 542}}),
            "买入价 542.30 已高于 542.00");
  EXPECT_EQ(CrossingText({"3.9", 3.9}, {Direction::kBelow, {"4", 4}}), "买入价 3.9 已低于 4");
}

}  // namespace
}  // namespace alerts
