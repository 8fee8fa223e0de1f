#include "quotes/day_trend.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using quotes::DayTrend;
using quotes::ExactPrice;

ExactPrice Price(std::string_view text) { return quotes::ParseExactPrice(text).value(); }

struct ChangeCase {
  const char* from;
  const char* to;
  const char* expected;
};

class ChangeTest : public ::testing::TestWithParam<ChangeCase> {};

// The change keeps the finer of the two prices' decimals; the percent rounds half away from
// zero, in both directions.
TEST_P(ChangeTest, KeepsTheDecimalsAndRoundsThePercentHalfAway) {
  const ChangeCase& c = GetParam();
  const auto change = quotes::ChangeBetween(Price(c.from), Price(c.to));
  ASSERT_TRUE(change);
  EXPECT_EQ(quotes::FormatChange(*change), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Prices, ChangeTest,
    ::testing::Values(ChangeCase{"912.60", "924.90", "+12.30 (+1.35%)"},
                      ChangeCase{"924.90", "912.60", "-12.30 (-1.33%)"},
                      ChangeCase{"912.6", "912.65", "+0.05 (+0.01%)"},
                      ChangeCase{"200", "200.01", "+0.01 (+0.01%)"},  // 0.005 % exactly
                      ChangeCase{"200", "199.99", "-0.01 (-0.01%)"},
                      ChangeCase{"200", "200.009", "+0.009 (0.00%)"},  // 0.0045 %
                      ChangeCase{"7.5", "7.5", "0.0 (0.00%)"},
                      ChangeCase{"0.0001", "9999999999.9999",
                                 "+9999999999.9998 (+9999999999999800.00%)"}));

TEST(ExactPriceTest, RefusesWhatIsNotAPlainPositiveDecimal) {
  for (const char* text :
       {"", "-1", "+1", "1.", ".5", "1.23456", "1e3", "0", "0.00", "12345678901", "12 ", "１２"}) {
    EXPECT_FALSE(quotes::ParseExactPrice(text)) << text;
  }
  EXPECT_EQ(quotes::FormatExactPrice(Price("0.05")), "0.05");
  EXPECT_EQ(quotes::FormatExactPrice(Price("912")), "912");
}

constexpr std::string_view kReply =
    "code=au\r\nopen=912.60\r\nprevious=907.47\r\nzone=+08:00\r\nsource=x\r\n"
    "p=1781510400,912.60\r\np=1781510460,915.00\r\np=1781514000,909.10\r\n";

TEST(TrendReplyTest, ReadsTheDayAndIgnoresKeysItDoesNotKnow) {
  const auto trend = quotes::ParseTrendReply(kReply, "au");
  ASSERT_TRUE(trend);
  EXPECT_EQ(trend->open, Price("912.60"));
  EXPECT_EQ(trend->previous, Price("907.47"));
  EXPECT_EQ(trend->zone_minutes, 480);
  ASSERT_EQ(trend->points.size(), 3U);
  EXPECT_EQ(trend->points[2].time, 1781514000);
  EXPECT_EQ(trend->points[2].buy, Price("909.10"));
}

class TrendRefusalTest : public ::testing::TestWithParam<std::string> {};

TEST_P(TrendRefusalTest, RefusesTheWholeReply) {
  EXPECT_FALSE(quotes::ParseTrendReply(GetParam(), "au")) << GetParam();
}

INSTANTIATE_TEST_SUITE_P(
    Replies, TrendRefusalTest,
    ::testing::Values("code=ag\np=1,2\n",           // another product's day
                      "open=912.60\np=1,2\n",       // no code at all
                      "code=au\ncode=au\n",         // a repeated key
                      "code=au\np=10,2\np=10,3\n",  // time that does not increase
                      "code=au\np=10,2\np=9,3\n",   // ... or goes back
                      "code=au\np=10,-2\n",         // a price that is not one
                      "code=au\np=10\n",            // a point without its price
                      "code=au\nzone=+8\n",         // a zone not written +HH:MM
                      "code=au\nopen=\n",           // an empty open
                      "code=au\ngarbage\n"));       // a line that is no key=value

TEST(TrendReplyTest, RefusesMorePointsThanADayHolds) {
  std::string reply = "code=au\n";
  for (std::size_t i = 1; i <= quotes::kMaxTrendPoints + 1; ++i) {
    reply += "p=" + std::to_string(i) + ",1\n";
  }
  EXPECT_FALSE(quotes::ParseTrendReply(reply, "au"));
  reply.resize(reply.rfind("p="));
  EXPECT_TRUE(quotes::ParseTrendReply(reply, "au"));
}

TEST(DaySummaryTest, NoPointsOnePointAndTheServersOpen) {
  DayTrend trend{"au", Price("900"), Price("890"), 480, {}};
  auto summary = quotes::Summarise(trend);
  EXPECT_FALSE(summary.last);
  EXPECT_FALSE(summary.since_open);
  EXPECT_EQ(quotes::SinceOpenTipLine(trend), "");
  EXPECT_EQ(quotes::SpokenSummary("现货黄金", summary), "现货黄金 今日暂无报价");

  trend.points = {{100, Price("909.00")}};
  summary = quotes::Summarise(trend);
  EXPECT_EQ(summary.high, Price("909.00"));
  EXPECT_EQ(summary.low, Price("909.00"));
  EXPECT_EQ(quotes::SinceOpenTipLine(trend), "较开盘 +9.00 (+1.00%)");
  EXPECT_EQ(quotes::SpokenSummary("现货黄金", summary),
            "现货黄金 最新 909.00 较开盘 +9.00 (+1.00%) 较昨收 +19.00 (+2.13%) 最高 909.00 "
            "最低 909.00");

  // Without the server's open the tip says nothing, while the chart measures from the
  // first point it has.
  trend.open.reset();
  trend.points.push_back({200, Price("899.91")});
  summary = quotes::Summarise(trend);
  EXPECT_EQ(quotes::SinceOpenTipLine(trend), "");
  EXPECT_EQ(quotes::FormatChange(*summary.since_open), "-9.09 (-1.00%)");
  EXPECT_EQ(summary.low, Price("899.91"));
  EXPECT_EQ(summary.high, Price("909.00"));
}

// The night session of a market in UTC+8 runs from 20:00 past midnight to 02:30: the axis
// keeps its order and the labels read the market's clock, not the machine's.
TEST(DayAxisTest, ADayAcrossMidnightStaysInOrderOnTheMarketsClock) {
  const std::int64_t evening = 1781524800;  // 2026-06-15 20:00 in UTC+8
  const std::vector<quotes::TrendPoint> points = {
      {evening, Price("900")},
      {evening + 4 * 3600, Price("905")},          // 00:00
      {evening + 6 * 3600 + 1800, Price("903")}};  // 02:30
  EXPECT_EQ(quotes::MarketClock(points[0].time, 480), "20:00");
  EXPECT_EQ(quotes::MarketClock(points[1].time, 480), "00:00");
  EXPECT_EQ(quotes::MarketClock(points[2].time, 480), "02:30");
  EXPECT_EQ(quotes::MarketClock(points[2].time, -300), "13:30");
  const quotes::ChartScale scale(points, {}, 300, 100);
  EXPECT_DOUBLE_EQ(scale.X(points[0].time), 0);
  EXPECT_LT(scale.X(points[1].time), scale.X(points[2].time));
  EXPECT_DOUBLE_EQ(scale.X(points[2].time), 300);
}

TEST(DayAxisTest, AGapStartsANewStretchOfTheLine) {
  const std::vector<quotes::TrendPoint> points = {
      {0, Price("1")}, {60, Price("1")}, {120, Price("1")}, {721, Price("1")}, {780, Price("1")}};
  EXPECT_EQ(quotes::StretchStarts(points, 600), (std::vector<std::size_t>{0, 3}));
  EXPECT_EQ(quotes::StretchStarts(points, 601), (std::vector<std::size_t>{0}));
  EXPECT_TRUE(quotes::StretchStarts({}, 600).empty());
}

TEST(ChartScaleTest, LevelsWidenTheRangeAndAFlatDayStillHasOne) {
  const std::vector<quotes::TrendPoint> points = {{0, Price("900")}, {60, Price("910")}};
  const quotes::ChartScale plain(points, {}, 100, 100);
  EXPECT_LT(plain.Y(910), plain.Y(900));  // up is higher
  EXPECT_GT(plain.Y(910), 0);             // with room above the high
  const quotes::ChartScale with_level(points, {950}, 100, 100);
  EXPECT_GT(with_level.Y(950), 0);
  EXPECT_LT(with_level.Y(950), with_level.Y(910));
  const quotes::ChartScale flat({{0, Price("900")}}, {}, 100, 100);
  EXPECT_NEAR(flat.Y(900), 50, 1e-9);
}

}  // namespace
