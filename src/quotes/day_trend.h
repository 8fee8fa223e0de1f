#pragma once

// The day's shape of one product: the points since the open, the change since the open and
// since the previous close, and where each lies on a small chart. Plain data in, data out; the
// chart window only paints what these functions decide.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace quotes {

// A price exactly as the server wrote it: 912.60 is {91260, 2}. Arithmetic on the units keeps
// the product's own decimals, so a change never shows a digit the quote did not have.
struct ExactPrice {
  std::int64_t units = 0;
  int decimals = 0;

  friend bool operator==(const ExactPrice&, const ExactPrice&) = default;
};

// "912.60", "912", "0.5": at most 4 decimals and 10 integer digits, no sign, above zero.
std::optional<ExactPrice> ParseExactPrice(std::string_view text);
// The price with its own decimals.
std::string FormatExactPrice(ExactPrice price);

struct TrendPoint {
  std::int64_t time = 0;  // Unix seconds, the quote's market time
  ExactPrice buy;
};

struct DayTrend {
  std::string code;
  std::optional<ExactPrice> open;
  std::optional<ExactPrice> previous;  // the previous close or settlement
  int zone_minutes = 480;              // the market's UTC offset, for the time axis
  std::vector<TrendPoint> points;      // strictly increasing in time
};

// The most points a reply may carry: a day at one a minute and an hour at one a second.
inline constexpr std::size_t kMaxTrendPoints = 24 * 60 + 3600;

// The server's trend reply (after decoding): "key=value" lines, CR LF or LF,
//   code=au  open=912.60  previous=907.47  zone=+08:00  p=TIME,BUY (one per point, in time order)
// nullopt when the code is not `code`, a value does not parse, a key other than p repeats,
// times do not increase, or there are more than kMaxTrendPoints points. Unknown keys are
// ignored, so the server may add some.
std::optional<DayTrend> ParseTrendReply(std::string_view reply, std::string_view code);

// A change between two prices, in the finer of their decimals, and in percent of `from`
// rounded half away from zero to two decimals.
struct PriceChange {
  std::int64_t units = 0;  // signed, in 10^-decimals
  int decimals = 0;
  std::int64_t hundredths_of_percent = 0;
};
std::optional<PriceChange> ChangeBetween(ExactPrice from, ExactPrice to);
// "+12.30 (+0.52%)", "-0.05 (-0.01%)", "0.00 (0.00%)".
std::string FormatChange(const PriceChange& change);

struct DaySummary {
  std::optional<ExactPrice> open;  // the server's, else the first point's
  std::optional<ExactPrice> high;
  std::optional<ExactPrice> low;
  std::optional<ExactPrice> last;
  std::optional<PriceChange> since_open;
  std::optional<PriceChange> since_previous;
};
DaySummary Summarise(const DayTrend& trend);

// The tip's line for the change since the open, e.g. "较开盘 +12.30 (+0.52%)"; empty when the
// server gave no open.
std::string SinceOpenTipLine(const DayTrend& trend);
std::string SinceOpenTipLine(ExactPrice open, ExactPrice last);
// What a screen reader hears of the chart: last, changes, high and low.
std::string SpokenSummary(std::string_view display_name, const DaySummary& summary);

// Indices where a new stretch of the line starts: 0, then every point more than `gap_seconds`
// after the one before it, so that a gap (a closed market, a lost feed) is not drawn as a
// straight line across.
std::vector<std::size_t> StretchStarts(const std::vector<TrendPoint>& points,
                                       std::int64_t gap_seconds);

// "HH:MM" of a Unix time in a zone, for the time axis; a day that runs past midnight keeps
// its order on the axis because positions come from the times themselves.
std::string MarketClock(std::int64_t time, int zone_minutes);

// Where times and prices fall in a plot of `width` × `height` pixels (y grows downwards). The
// price range covers the points and the given levels (alert levels drawn as lines), with a
// little room above and below; a flat day gets a range around its price.
class ChartScale {
 public:
  ChartScale(const std::vector<TrendPoint>& points, const std::vector<double>& levels, double width,
             double height);
  double X(std::int64_t time) const;
  double Y(double price) const;
  double low() const { return low_; }
  double high() const { return high_; }

 private:
  std::int64_t first_time_ = 0;
  std::int64_t last_time_ = 1;
  double low_ = 0;
  double high_ = 1;
  double width_ = 0;
  double height_ = 0;
};

double ToDouble(ExactPrice price);

}  // namespace quotes
