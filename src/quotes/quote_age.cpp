#include "quotes/quote_age.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace quotes {

namespace {

std::chrono::milliseconds StaleLimit(std::chrono::milliseconds refresh_interval) {
  return std::max(kStaleFloor, kStaleIntervals * refresh_interval);
}

}  // namespace

QuoteAge AgeOfQuote(MonotonicTime now, std::optional<MonotonicTime> last_applied,
                    MonotonicTime chosen_at, std::chrono::milliseconds refresh_interval) {
  const std::chrono::milliseconds limit = StaleLimit(refresh_interval);
  if (!last_applied) return now - chosen_at > limit ? QuoteAge::kNeverCame : QuoteAge::kLive;
  return now - *last_applied > limit ? QuoteAge::kStale : QuoteAge::kLive;
}

std::chrono::milliseconds TimeUntilStale(MonotonicTime now,
                                         std::optional<MonotonicTime> last_applied,
                                         MonotonicTime chosen_at,
                                         std::chrono::milliseconds refresh_interval) {
  using std::chrono::milliseconds;
  if (AgeOfQuote(now, last_applied, chosen_at, refresh_interval) != QuoteAge::kLive) {
    return milliseconds(0);
  }
  // Stale means older than the limit: the first whole millisecond past it.
  const MonotonicTime since = last_applied.value_or(chosen_at);
  return std::chrono::ceil<milliseconds>(since + StaleLimit(refresh_interval) - now) +
         milliseconds(1);
}

std::string StaleTipLine(int hour, int minute, int second) {
  std::array<char, 16> clock{};
  std::snprintf(clock.data(), clock.size(), "%02d:%02d:%02d", hour % 100, minute % 100,
                second % 100);
  return std::string("行情暂停更新 最后报价 ") + clock.data();
}

std::string NoServerTipLine(std::string_view server_host) {
  return std::string("无法连接行情服务器 ") + std::string(server_host);
}

std::string ForeignServerTipLine(std::string_view server_host) {
  return "行情服务器 " + std::string(server_host) + " 属于其他用户";
}

}  // namespace quotes
