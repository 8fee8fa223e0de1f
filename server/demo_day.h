#pragma once

// The demonstration's trading day so far: a walk of its own from the market's midnight up to
// now, one point a minute, shifted so that each product's day ends at the price the server
// shows now. A panel that opens its chart at once sees a whole day, not the few minutes since
// the server started.

#include <cstdint>
#include <vector>

#include "server/day_record.h"
#include "server/price_book.h"

namespace lumetta_server {

// The walk's steps in one simulated minute: the price book moves at a step every 1.5 s.
inline constexpr std::uint64_t kDemoStepsPerMinute = 40;
// The demonstration's market keeps Beijing time, and so do the live mode's days: the sources
// are Chinese, and the spot metals trade round the clock.
inline constexpr int kDemoZoneMinutes = 8 * 60;
inline constexpr int kLiveZoneMinutes = 8 * 60;

// Records the day of every product in `now_quotes` into `record` (whose zone it takes), with the
// open and the previous close. `now` is Unix seconds.
void FillDemoDay(DayRecord& record, std::uint64_t seed, const std::vector<Quote>& now_quotes,
                 std::int64_t now);

}  // namespace lumetta_server
