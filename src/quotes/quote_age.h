#pragma once

// When the number on the panel is plainly old. A failed fetch changes nothing on the panel,
// so without this rule a server that stopped answering (or stopped listing the product) would
// leave the last price on view, in its rise or fall colour, as if it were live.

#include <chrono>
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

// The tip's first line while the quote is stale: since when, in local time.
std::string StaleTipLine(int hour, int minute, int second);
// The tip while no quote has come: the server the panel is configured for.
std::string NoServerTipLine(std::string_view server_host);
// The tip while the server at that address is another user's, which the panel never uses.
std::string ForeignServerTipLine(std::string_view server_host);

}  // namespace quotes
