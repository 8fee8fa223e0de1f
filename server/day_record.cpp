#include "server/day_record.h"

#include <algorithm>
#include <charconv>
#include <cstdlib>

#include "server/live/quote_detail.h"

namespace lumetta_server {
namespace {

constexpr std::int64_t kSecondsPerDay = 86400;

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
  const std::int64_t quotient = value / divisor;
  return (value % divisor != 0 && (value < 0) != (divisor < 0)) ? quotient - 1 : quotient;
}

void AppendNumber(std::string& text, std::int64_t value) {
  char digits[24];
  const auto written = std::to_chars(digits, digits + sizeof digits, value);
  text.append(digits, written.ptr);
}

void AppendLine(std::string& text, std::string_view key, std::int64_t cents) {
  text.append(key);
  text += '=';
  text += live::CentsText(cents);
  text += "\r\n";
}

// "+08:00", "-03:30".
std::string ZoneText(int zone_minutes) {
  std::string text(1, zone_minutes < 0 ? '-' : '+');
  const int magnitude = std::abs(zone_minutes);
  text += static_cast<char>('0' + magnitude / 600);
  text += static_cast<char>('0' + magnitude / 60 % 10);
  text += ':';
  text += static_cast<char>('0' + magnitude % 60 / 10);
  text += static_cast<char>('0' + magnitude % 10);
  return text;
}

}  // namespace

std::int64_t DayRecord::DayNumber(std::int64_t time) const {
  return FloorDiv(time + std::int64_t{zone_minutes_} * 60, kSecondsPerDay);
}

std::int64_t DayRecord::DayStart(std::int64_t time) const {
  return DayNumber(time) * kSecondsPerDay - std::int64_t{zone_minutes_} * 60;
}

bool DayRecord::Record(const std::string& code, DayPoint point) {
  Day& day = days_[code];
  const std::int64_t number = DayNumber(point.time);
  bool starts_day = day.minutes.empty() && day.recent.empty();
  bool same_slot = false;  // a later quote of the last point's five seconds takes its place
  if (!starts_day) {
    const DayPoint& last = day.recent.empty() ? day.minutes.back() : day.recent.back();
    if (point.time < last.time) return false;
    same_slot = !day.recent.empty() &&
                FloorDiv(point.time, kRecentSlotSeconds) == FloorDiv(last.time, kRecentSlotSeconds);
    if (number != day.number) {
      same_slot = false;
      Day next;
      next.previous_cents = last.buy_cents;
      day = std::move(next);
      starts_day = true;
    }
  }
  day.number = number;
  if (same_slot) {
    day.recent.back() = point;
  } else {
    day.recent.push_back(point);
  }
  // Points leaving the last hour keep only the last of their minute.
  while (point.time - day.recent.front().time >= kFullRateSeconds) {
    const DayPoint old = day.recent.front();
    day.recent.pop_front();
    if (!day.minutes.empty() && FloorDiv(day.minutes.back().time, 60) == FloorDiv(old.time, 60)) {
      day.minutes.back() = old;
    } else {
      day.minutes.push_back(old);
    }
    if (day.minutes.size() > kMaxMinutes) day.minutes.pop_front();
  }
  return starts_day;
}

void DayRecord::SetOpen(const std::string& code, std::int64_t cents) {
  days_[code].open_cents = cents;
}

void DayRecord::SetPrevious(const std::string& code, std::int64_t cents) {
  days_[code].previous_cents = cents;
}

std::vector<DayPoint> DayRecord::Points(std::string_view code) const {
  const auto found = days_.find(code);
  if (found == days_.end()) return {};
  const Day& day = found->second;
  std::vector<DayPoint> points(day.minutes.begin(), day.minutes.end());
  points.insert(points.end(), day.recent.begin(), day.recent.end());
  return points;
}

DayFigures DayRecord::Figures(std::string_view code) const {
  DayFigures figures;
  const auto found = days_.find(code);
  if (found == days_.end()) return figures;
  figures.open_cents = found->second.open_cents;
  figures.previous_cents = found->second.previous_cents;
  for (const DayPoint& point : Points(code)) {
    figures.high_cents = std::max(figures.high_cents.value_or(point.buy_cents), point.buy_cents);
    figures.low_cents = std::min(figures.low_cents.value_or(point.buy_cents), point.buy_cents);
  }
  return figures;
}

std::string DayRecord::TrendText(const std::string& code) const {
  std::string text = "code=" + code + "\r\n";
  const auto found = days_.find(code);
  if (found != days_.end()) {
    if (found->second.open_cents) AppendLine(text, "open", *found->second.open_cents);
    if (found->second.previous_cents) AppendLine(text, "previous", *found->second.previous_cents);
  }
  text += "zone=" + ZoneText(zone_minutes_) + "\r\n";
  for (const DayPoint& point : Points(code)) {
    text += "p=";
    AppendNumber(text, point.time);
    text += ',';
    text += live::CentsText(point.buy_cents);
    text += "\r\n";
  }
  return text;
}

}  // namespace lumetta_server
