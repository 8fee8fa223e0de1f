// The trend reply comes from the server: any bytes must give a decision, an accepted day must
// keep the promises of quotes/day_trend.h, and the chart's arithmetic on it must stay finite.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "fuzz_input.h"
#include "quotes/day_trend.h"

// Input: the code asked for, then the reply.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const std::string_view code = input.TakeField();
  const std::string_view reply = input.TakeField();

  const std::optional<quotes::DayTrend> day = quotes::ParseTrendReply(reply, code);
  if (!day) return 0;
  LUMETTA_FUZZ_CHECK(day->code == code);
  LUMETTA_FUZZ_CHECK(day->points.size() <= quotes::kMaxTrendPoints);
  for (std::size_t index = 1; index < day->points.size(); ++index) {
    LUMETTA_FUZZ_CHECK(day->points[index - 1].time < day->points[index].time);
  }
  const quotes::DaySummary summary = quotes::Summarise(*day);
  LUMETTA_FUZZ_CHECK(summary.last.has_value() == !day->points.empty());
  if (summary.high && summary.low) {
    LUMETTA_FUZZ_CHECK(quotes::ToDouble(*summary.low) <= quotes::ToDouble(*summary.high));
  }
  if (summary.since_open) (void)quotes::FormatChange(*summary.since_open);
  (void)quotes::SpokenSummary(code, summary);
  if (!day->points.empty()) {
    const quotes::ChartScale scale(day->points, {}, 300, 150);
    for (const quotes::TrendPoint& point : day->points) {
      const double x = scale.X(point.time);
      const double y = scale.Y(quotes::ToDouble(point.buy));
      LUMETTA_FUZZ_CHECK(std::isfinite(x) && x >= -0.5 && x <= 300.5);
      LUMETTA_FUZZ_CHECK(std::isfinite(y) && y >= -0.5 && y <= 150.5);
    }
    (void)quotes::MarketClock(day->points.back().time, day->zone_minutes);
  }
  return 0;
}
