#include "quotes/quote_age.h"

#include <algorithm>
#include <array>
#include <cstdio>

namespace quotes {

QuoteAge AgeOfQuote(MonotonicTime now, std::optional<MonotonicTime> last_applied,
                    MonotonicTime chosen_at, std::chrono::milliseconds refresh_interval) {
  const std::chrono::milliseconds limit = std::max(kStaleFloor, kStaleIntervals * refresh_interval);
  if (!last_applied) return now - chosen_at > limit ? QuoteAge::kNeverCame : QuoteAge::kLive;
  return now - *last_applied > limit ? QuoteAge::kStale : QuoteAge::kLive;
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

}  // namespace quotes
