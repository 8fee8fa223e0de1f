#pragma once

// When the number on the panel is plainly old. A failed fetch changes nothing on the panel,
// so without this rule a server that stopped answering (or stopped listing the product) would
// leave the last price on view, in its rise or fall colour, as if it were live.

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quotes {

using MonotonicTime = std::chrono::steady_clock::time_point;

// The shortest age at which a quote counts as stale, whatever the refresh speed.
inline constexpr std::chrono::milliseconds kStaleFloor{30000};
// How many refresh intervals a quote may miss before it counts as stale.
inline constexpr int kStaleIntervals = 3;

enum class QuoteAge {
  kLive,       // the last quote is recent enough, or the first may still come
  kStale,      // a quote was applied, but too long ago
  kNeverCame,  // none has come since the product was chosen, for too long
};

// `last_applied` is when the selected product's last quote was applied (nullopt when none
// came since it was chosen at `chosen_at`, start-up included). A quote is too old once it is
// older than kStaleFloor or kStaleIntervals refresh intervals, whichever is longer.
QuoteAge AgeOfQuote(MonotonicTime now, std::optional<MonotonicTime> last_applied,
                    MonotonicTime chosen_at, std::chrono::milliseconds refresh_interval);

// How long from `now` until AgeOfQuote, with the same arguments, stops saying kLive: the
// shortest wait after which it would (zero when it already does). Lets the panel turn grey when
// the limit passes, with one timer that never fires while quotes keep coming.
std::chrono::milliseconds TimeUntilStale(MonotonicTime now,
                                         std::optional<MonotonicTime> last_applied,
                                         MonotonicTime chosen_at,
                                         std::chrono::milliseconds refresh_interval);

// How old a quote's own market time may be before the quote counts as stale, however often it
// arrives. A closed market (a weekend, a holiday, the night of a bank's paper gold) keeps
// serving its last price for hours; an open one moves within seconds, and even a quiet bank
// quote keeps its time for a few minutes at most. Ten minutes is far past the quiet spells and
// far short of a closed session.
inline constexpr std::chrono::minutes kMarketTimeLimit{10};

// True when the market time (Unix seconds) is more than kMarketTimeLimit before `now` (the
// wall clock). A market time ahead of the clock is not stale: the clocks disagree, and the
// quote is as fresh as can be told.
bool MarketTimeIsStale(std::chrono::system_clock::time_point now, std::int64_t market_time);

// A moment of the local calendar and clock.
struct LocalTime {
  int year = 0;
  int month = 0;  // 1..12
  int day = 0;    // 1..31
  int hour = 0;
  int minute = 0;
  int second = 0;
};

// The tip's first line while the quote is stale: since when, in local time.
std::string StaleTipLine(int hour, int minute, int second);
// The same for a quote's market time: with its date ("MM-DD HH:MM:SS") when that is not
// today's, so a price from yesterday or last Friday does not pass for this morning's.
std::string StaleTipLine(const LocalTime& market_time, const LocalTime& now);
// The tip while no quote has come: the server the panel is configured for.
std::string NoServerTipLine(std::string_view server_host);
// The tip while the server at that address is another user's, which the panel never uses.
std::string ForeignServerTipLine(std::string_view server_host);

}  // namespace quotes
