#include "quotes/day_trend.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <set>

namespace quotes {
namespace {

constexpr int kMaxDecimals = 4;
// With at most 10 integer digits and 4 decimals a price is under 10^14 units at the finest
// scale, so a change in hundredths of a percent (x 10^4) stays inside 64 bits.
constexpr int kMaxIntegerDigits = 10;
constexpr std::size_t kMaxReplyBytes = std::size_t{512} * 1024;

std::int64_t PowerOfTen(int exponent) {
  std::int64_t value = 1;
  for (int i = 0; i < exponent; ++i) value *= 10;
  return value;
}

bool AllDigits(std::string_view text) {
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::int64_t> ParseTime(std::string_view text) {
  if (!AllDigits(text) || text.size() > 12) return std::nullopt;
  std::int64_t value = 0;
  std::from_chars(text.data(), text.data() + text.size(), value);
  return value;
}

// "+08:00" or "-03:30".
std::optional<int> ParseZone(std::string_view text) {
  if (text.size() != 6 || (text[0] != '+' && text[0] != '-') || text[3] != ':' ||
      !AllDigits(text.substr(1, 2)) || !AllDigits(text.substr(4, 2))) {
    return std::nullopt;
  }
  const int hours = (text[1] - '0') * 10 + (text[2] - '0');
  const int minutes = (text[4] - '0') * 10 + (text[5] - '0');
  if (hours > 14 || minutes > 59) return std::nullopt;
  const int offset = hours * 60 + minutes;
  return text[0] == '-' ? -offset : offset;
}

// Rescales to `decimals` (not fewer than the price's own).
std::int64_t UnitsAt(ExactPrice price, int decimals) {
  return price.units * PowerOfTen(decimals - price.decimals);
}

// Rounds numerator / denominator half away from zero; the denominator is positive.
std::int64_t RoundedQuotient(std::int64_t numerator, std::int64_t denominator) {
  const std::int64_t half = denominator / 2;
  const std::int64_t magnitude = (numerator < 0 ? -numerator : numerator);
  const std::int64_t quotient = (magnitude + half) / denominator;
  return numerator < 0 ? -quotient : quotient;
}

std::string FormatUnits(std::int64_t units, int decimals, bool signed_text) {
  std::string sign;
  if (units < 0) {
    sign = "-";
    units = -units;
  } else if (signed_text && units > 0) {
    sign = "+";
  }
  const std::int64_t scale = PowerOfTen(decimals);
  std::string text = sign + std::to_string(units / scale);
  if (decimals > 0) {
    std::string fraction = std::to_string(units % scale);
    fraction.insert(0, static_cast<std::size_t>(decimals) - fraction.size(), '0');
    text += '.' + fraction;
  }
  return text;
}

}  // namespace

std::optional<ExactPrice> ParseExactPrice(std::string_view text) {
  const std::size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  const std::string_view fraction =
      dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  if (!AllDigits(whole) || whole.size() > kMaxIntegerDigits) return std::nullopt;
  if (dot != std::string_view::npos && (!AllDigits(fraction) || fraction.size() > kMaxDecimals)) {
    return std::nullopt;
  }
  std::int64_t units = 0;
  for (const char c : whole) units = units * 10 + (c - '0');
  for (const char c : fraction) units = units * 10 + (c - '0');
  if (units <= 0) return std::nullopt;
  return ExactPrice{units, static_cast<int>(fraction.size())};
}

std::string FormatExactPrice(ExactPrice price) {
  return FormatUnits(price.units, price.decimals, false);
}

double ToDouble(ExactPrice price) {
  return static_cast<double>(price.units) / static_cast<double>(PowerOfTen(price.decimals));
}

std::optional<DayTrend> ParseTrendReply(std::string_view reply, std::string_view code) {
  if (reply.size() > kMaxReplyBytes) return std::nullopt;
  DayTrend trend;
  std::set<std::string, std::less<>> seen;
  while (!reply.empty()) {
    const std::size_t end = reply.find('\n');
    std::string_view line = reply.substr(0, end);
    reply = end == std::string_view::npos ? std::string_view() : reply.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (line.empty()) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (key == "p") {
      const std::size_t comma = value.find(',');
      if (comma == std::string_view::npos) return std::nullopt;
      const auto time = ParseTime(value.substr(0, comma));
      const auto buy = ParseExactPrice(value.substr(comma + 1));
      if (!time || !buy) return std::nullopt;
      if (!trend.points.empty() && *time <= trend.points.back().time) return std::nullopt;
      if (trend.points.size() == kMaxTrendPoints) return std::nullopt;
      trend.points.push_back({*time, *buy});
      continue;
    }
    if (!seen.emplace(key).second) return std::nullopt;
    if (key == "code") {
      if (value != code) return std::nullopt;
      trend.code = std::string(value);
    } else if (key == "open" || key == "previous") {
      const auto price = ParseExactPrice(value);
      if (!price) return std::nullopt;
      (key == "open" ? trend.open : trend.previous) = price;
    } else if (key == "zone") {
      const auto zone = ParseZone(value);
      if (!zone) return std::nullopt;
      trend.zone_minutes = *zone;
    }
  }
  if (trend.code.empty()) return std::nullopt;
  return trend;
}

std::optional<PriceChange> ChangeBetween(ExactPrice from, ExactPrice to) {
  if (from.units <= 0) return std::nullopt;
  const int decimals = std::max(from.decimals, to.decimals);
  const std::int64_t from_units = UnitsAt(from, decimals);
  const std::int64_t difference = UnitsAt(to, decimals) - from_units;
  PriceChange change{difference, decimals, 0};
  change.hundredths_of_percent = RoundedQuotient(difference * 10000, from_units);
  return change;
}

std::string FormatChange(const PriceChange& change) {
  return FormatUnits(change.units, change.decimals, true) + " (" +
         FormatUnits(change.hundredths_of_percent, 2, true) + "%)";
}

DaySummary Summarise(const DayTrend& trend) {
  DaySummary summary;
  summary.open = trend.open;
  if (!trend.points.empty()) {
    if (!summary.open) summary.open = trend.points.front().buy;
    summary.last = trend.points.back().buy;
    const auto by_value = [](const TrendPoint& a, const TrendPoint& b) {
      const int decimals = std::max(a.buy.decimals, b.buy.decimals);
      return UnitsAt(a.buy, decimals) < UnitsAt(b.buy, decimals);
    };
    const auto [low, high] =
        std::minmax_element(trend.points.begin(), trend.points.end(), by_value);
    summary.low = low->buy;
    summary.high = high->buy;
  }
  if (summary.last && summary.open)
    summary.since_open = ChangeBetween(*summary.open, *summary.last);
  if (summary.last && trend.previous) {
    summary.since_previous = ChangeBetween(*trend.previous, *summary.last);
  }
  return summary;
}

std::string SinceOpenTipLine(const DayTrend& trend) {
  if (!trend.open || trend.points.empty()) return {};
  return SinceOpenTipLine(*trend.open, trend.points.back().buy);
}

std::string SinceOpenTipLine(ExactPrice open, ExactPrice last) {
  const auto change = ChangeBetween(open, last);
  return change ? "较开盘 " + FormatChange(*change) : std::string();
}

std::string SpokenSummary(std::string_view display_name, const DaySummary& summary) {
  std::string text(display_name);
  if (!summary.last) return text + " 今日暂无报价";
  text += " 最新 " + FormatExactPrice(*summary.last);
  if (summary.since_open) text += " 较开盘 " + FormatChange(*summary.since_open);
  if (summary.since_previous) text += " 较昨收 " + FormatChange(*summary.since_previous);
  text += " 最高 " + FormatExactPrice(*summary.high) + " 最低 " + FormatExactPrice(*summary.low);
  return text;
}

std::vector<std::size_t> StretchStarts(const std::vector<TrendPoint>& points,
                                       std::int64_t gap_seconds) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < points.size(); ++i) {
    if (i == 0 || points[i].time - points[i - 1].time > gap_seconds) starts.push_back(i);
  }
  return starts;
}

std::string MarketClock(std::int64_t time, int zone_minutes) {
  constexpr std::int64_t kDay = std::int64_t{24} * 3600;
  std::int64_t seconds = (time + static_cast<std::int64_t>(zone_minutes) * 60) % kDay;
  if (seconds < 0) seconds += kDay;
  std::array<char, 6> clock{};
  const auto hours = static_cast<int>(seconds / 3600);
  const auto minutes = static_cast<int>(seconds / 60 % 60);
  clock[0] = static_cast<char>('0' + hours / 10);
  clock[1] = static_cast<char>('0' + hours % 10);
  clock[2] = ':';
  clock[3] = static_cast<char>('0' + minutes / 10);
  clock[4] = static_cast<char>('0' + minutes % 10);
  return std::string(clock.data(), 5);
}

ChartScale::ChartScale(const std::vector<TrendPoint>& points, const std::vector<double>& levels,
                       double width, double height)
    : width_(width), height_(height) {
  double low = std::numeric_limits<double>::infinity();
  double high = -low;
  for (const TrendPoint& point : points) {
    low = std::min(low, ToDouble(point.buy));
    high = std::max(high, ToDouble(point.buy));
  }
  for (const double level : levels) {
    low = std::min(low, level);
    high = std::max(high, level);
  }
  if (low > high) {
    low = 0;
    high = 1;
  }
  if (high - low < 1e-9) {
    // A flat day: its price in the middle, a thousandth of it either side.
    const double room = std::max(std::abs(high) * 1e-3, 0.01);
    low -= room;
    high += room;
  }
  const double margin = (high - low) * 0.05;
  low_ = low - margin;
  high_ = high + margin;
  if (!points.empty()) {
    first_time_ = points.front().time;
    last_time_ = std::max(points.back().time, first_time_ + 1);
  }
}

double ChartScale::X(std::int64_t time) const {
  return static_cast<double>(time - first_time_) / static_cast<double>(last_time_ - first_time_) *
         width_;
}

double ChartScale::Y(double price) const { return (high_ - price) / (high_ - low_) * height_; }

}  // namespace quotes
