#pragma once

// Each product's quotes of the current trading day, for /Soft/Trend.asp: one point a minute
// over the day and one every five seconds in the last hour, so that a server running for months
// holds at most a day's worth per product (under 300 kB for all of them).

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumetta_server {

struct DayPoint {
  std::int64_t time = 0;  // Unix seconds, the quote's market time
  std::int64_t buy_cents = 0;

  friend bool operator==(const DayPoint&, const DayPoint&) = default;
};

// The day's figures of one product; each unknown until known.
struct DayFigures {
  std::optional<std::int64_t> open_cents;
  std::optional<std::int64_t> previous_cents;
  std::optional<std::int64_t> high_cents;  // of the points kept
  std::optional<std::int64_t> low_cents;
};

class DayRecord {
 public:
  // Points younger than this keep the last of each kRecentSlotSeconds; older ones the last of
  // each minute.
  static constexpr std::int64_t kFullRateSeconds = 3600;
  static constexpr std::int64_t kRecentSlotSeconds = 5;
  static constexpr std::size_t kMaxMinutes = std::size_t{24} * 60;

  // `zone_minutes`: the market's UTC offset; its midnight starts a new trading day.
  explicit DayRecord(int zone_minutes) : zone_minutes_(zone_minutes) {}

  // A quote of `code`. One in the same five seconds as the product's last point takes its
  // place; one earlier than that point is dropped. The first quote of a new day
  // clears the old one and keeps its last price as the previous close. True when the point
  // starts a day.
  bool Record(const std::string& code, DayPoint point);
  // The source's own figures of the day, where it gives them.
  void SetOpen(const std::string& code, std::int64_t cents);
  void SetPrevious(const std::string& code, std::int64_t cents);

  // The market's midnight that starts the trading day of `time`.
  std::int64_t DayStart(std::int64_t time) const;

  // The day's points in time order: a minute's last point before the last hour, every point
  // within it.
  std::vector<DayPoint> Points(std::string_view code) const;

  DayFigures Figures(std::string_view code) const;

  // The reply of /Soft/Trend.asp: "code=", "open=", "previous=", "zone=+HH:MM" and one
  // "p=TIME,BUY" per point, each line ending in CR LF; open and previous left out when unknown
  // (the open is the day's first point otherwise). Plain ASCII.
  std::string TrendText(const std::string& code) const;

 private:
  struct Day {
    std::int64_t number = 0;  // days since the epoch in the market's zone
    std::optional<std::int64_t> open_cents;
    std::optional<std::int64_t> previous_cents;
    std::deque<DayPoint> minutes;  // the last point of each minute older than `recent`
    std::deque<DayPoint> recent;   // the last hour, the last point of each slot
  };

  std::int64_t DayNumber(std::int64_t time) const;
  const int zone_minutes_;
  std::map<std::string, Day, std::less<>> days_;
};

}  // namespace lumetta_server
