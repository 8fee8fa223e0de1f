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

bool MarketTimeIsStale(std::chrono::system_clock::time_point now, std::int64_t market_time) {
  using std::chrono::milliseconds;
  // In milliseconds since the epoch, where a market time scaled from seconds cannot overflow:
  // one ahead of the clock is answered first, one before 1970 is long past.
  const std::int64_t now_ms =
      std::chrono::duration_cast<milliseconds>(now.time_since_epoch()).count();
  if (market_time > now_ms / 1000) return false;
  if (market_time < 0) return true;
  return now_ms - market_time * 1000 > milliseconds(kMarketTimeLimit).count();
}

std::string StaleTipLine(const LocalTime& market_time, const LocalTime& now) {
  const bool today =
      market_time.year == now.year && market_time.month == now.month && market_time.day == now.day;
  if (today) return StaleTipLine(market_time.hour, market_time.minute, market_time.second);
  std::array<char, 24> moment{};
  std::snprintf(moment.data(), moment.size(), "%02d-%02d %02d:%02d:%02d", market_time.month % 100,
                market_time.day % 100, market_time.hour % 100, market_time.minute % 100,
                market_time.second % 100);
  return std::string("行情暂停更新 最后报价 ") + moment.data();
}

std::string NoServerTipLine(std::string_view server_host) {
  return std::string("无法连接行情服务器 ") + std::string(server_host);
}

std::string ForeignServerTipLine(std::string_view server_host) {
  return "行情服务器 " + std::string(server_host) + " 属于其他用户";
}

}  // namespace quotes
