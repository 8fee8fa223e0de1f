#include "server/day_record.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "net/endpoints.h"
#include "quotes/day_trend.h"
#include "server/quote_server.h"
#include "tests/support/raw_client.h"
#include "text/gbk.h"

namespace lumetta_test {
namespace {

using lumetta_server::DayPoint;
using lumetta_server::DayRecord;

// 2026-12-09 00:00 in Beijing, 2026-12-08 16:00 UTC.
constexpr std::int64_t kMarketMidnight = 1796745600;
constexpr int kBeijing = 480;

// A busy day at one quote a second: the last hour by the last quote of each five seconds,
// every earlier minute by its last quote, never more than the panel accepts, and the panel
// reads back exactly what is kept.
TEST(DayRecordTest, KeepsTheLastHourWholeAndOneQuoteAMinuteBefore) {
  DayRecord record(kBeijing);
  constexpr std::int64_t kSeconds = 23 * 3600 + 1800;
  for (std::int64_t second = 0; second < kSeconds; ++second) {
    record.Record("au", {kMarketMidnight + second, 50000 + second % 97});
  }
  const std::vector<DayPoint> points = record.Points("au");
  ASSERT_LE(points.size(), quotes::kMaxTrendPoints);
  const std::int64_t last = kMarketMidnight + kSeconds - 1;
  std::size_t in_last_hour = 0;
  for (std::size_t index = 0; index < points.size(); ++index) {
    if (index > 0) {
      ASSERT_LT(points[index - 1].time, points[index].time);
    }
    if (last - points[index].time < DayRecord::kFullRateSeconds) {
      ++in_last_hour;
      ASSERT_EQ(points[index].time % 5, 4) << "a slot keeps its last quote";
    } else {
      // A minute keeps its last quote: the last of its slots once they have all left the hour.
      ASSERT_EQ(points[index].time % 5, 4);
      if (index > 0) {
        ASSERT_NE(points[index - 1].time / 60, points[index].time / 60);
      }
      if (index + 1 < points.size() && last - points[index + 1].time >= 3600) {
        ASSERT_EQ(points[index].time % 60, 59);
      }
    }
  }
  EXPECT_EQ(in_last_hour, 3600u / 5);
  EXPECT_EQ(points.size() - in_last_hour, static_cast<std::size_t>(22 * 60 + 30));

  const auto read = quotes::ParseTrendReply(record.TrendText("au"), "au");
  ASSERT_TRUE(read);
  ASSERT_EQ(read->points.size(), points.size());
  EXPECT_EQ(read->points.back().time, last);
  EXPECT_EQ(quotes::FormatExactPrice(read->points.back().buy),
            "500.15");  // 50000 + 84599 % 97 cents
  EXPECT_EQ(read->zone_minutes, kBeijing);
}

// The trading day turns at the market's midnight, not UTC's: the old day's last price becomes
// the previous close and the open is forgotten. A late or repeated quote changes no order.
TEST(DayRecordTest, MarketMidnightStartsANewDayAndTimeNeverRunsBack) {
  DayRecord record(kBeijing);
  EXPECT_TRUE(record.Record("ag", {kMarketMidnight - 60, 700}));
  record.SetOpen("ag", 690);
  EXPECT_FALSE(record.Record("ag", {kMarketMidnight - 58, 705}));  // same five seconds
  EXPECT_EQ(record.Points("ag"), (std::vector<DayPoint>{{kMarketMidnight - 58, 705}}));
  EXPECT_FALSE(record.Record("ag", {kMarketMidnight - 1, 710}));
  EXPECT_FALSE(record.Record("ag", {kMarketMidnight - 30, 999}));  // late: dropped
  EXPECT_FALSE(record.Record("ag", {kMarketMidnight - 1, 720}));   // same second: replaces
  EXPECT_EQ(record.Points("ag"),
            (std::vector<DayPoint>{{kMarketMidnight - 58, 705}, {kMarketMidnight - 1, 720}}));
  EXPECT_NE(record.TrendText("ag").find("open=6.90\r\n"), std::string::npos);

  EXPECT_TRUE(record.Record("ag", {kMarketMidnight, 730}));
  EXPECT_EQ(record.Points("ag"), (std::vector<DayPoint>{{kMarketMidnight, 730}}));
  EXPECT_EQ(record.TrendText("ag"), "code=ag\r\nprevious=7.20\r\nzone=+08:00\r\np=" +
                                        std::to_string(kMarketMidnight) + ",7.30\r\n");
  EXPECT_TRUE(record.Points("au").empty());
}

// The demonstration's day, as a panel asks for it at 10:00 market time: a point a minute since
// midnight, with the open and the previous close, ending at the price the server shows now.
TEST(DayRecordTest, DemonstrationServesAWholeDayEndingAtItsPrice) {
  constexpr std::int64_t kNow = kMarketMidnight + std::int64_t{10} * 3600;
  lumetta_server::ServerOptions options;
  options.quote_step = std::chrono::milliseconds(0);
  options.wall_clock = [] { return kNow; };
  lumetta_server::QuoteServer server(options);
  ASSERT_TRUE(server.Start());
  RawClient client;

  const RawReply trend = client.Get(endpoints::TrendUrl(server.host(), "au"));
  ASSERT_EQ(trend.status, 200);
  const auto day = quotes::ParseTrendReply(text::GbkToUtf8(trend.body), "au");
  ASSERT_TRUE(day);
  ASSERT_EQ(day->points.size(), 10u * 60 + 1);
  EXPECT_EQ(day->points.front().time, kMarketMidnight);
  EXPECT_EQ(day->points[599].time, kNow - 60);
  ASSERT_TRUE(day->open && day->previous);
  EXPECT_EQ(*day->open, day->points.front().buy);
  // The simulated minutes lead into the price served now, without a jump.
  EXPECT_EQ(day->points[599].buy, day->points[600].buy);

  const std::string list = text::GbkToUtf8(client.Get(endpoints::QuoteListUrl(server.host())).body);
  const std::string au_line = "\r\nau," + quotes::FormatExactPrice(day->points.back().buy) + ",";
  EXPECT_NE(list.find(au_line), std::string::npos) << list;

  EXPECT_EQ(client.Get(endpoints::TrendUrl(server.host(), "zz")).status, 404);
}

}  // namespace
}  // namespace lumetta_test
