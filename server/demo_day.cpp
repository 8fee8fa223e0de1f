#include "server/demo_day.h"

#include <algorithm>
#include <cstddef>

namespace lumetta_server {
namespace {

// The day's own walk differs from the live one but is as repeatable.
constexpr std::uint64_t kDaySeedMix = 0x9E3779B97F4A7C15ULL;

std::int64_t Shifted(std::int64_t cents, std::int64_t by) {
  return std::max<std::int64_t>(1, cents + by);
}

}  // namespace

void FillDemoDay(DayRecord& record, std::uint64_t seed, const std::vector<Quote>& now_quotes,
                 std::int64_t now) {
  const std::int64_t day_start = record.DayStart(now);
  const std::int64_t minutes = (now - day_start) / 60;
  PriceBook walk(seed ^ kDaySeedMix);
  const std::vector<Quote> before_open = walk.Quotes();
  std::vector<std::vector<std::int64_t>> day(now_quotes.size());
  for (std::int64_t minute = 0; minute < minutes; ++minute) {
    walk.Advance(kDemoStepsPerMinute);
    const std::vector<Quote> quotes = walk.Quotes();
    for (std::size_t index = 0; index < day.size(); ++index) {
      day[index].push_back(quotes[index].buy_cents);
    }
  }
  for (std::size_t index = 0; index < now_quotes.size(); ++index) {
    const Quote& quote = now_quotes[index];
    const std::vector<std::int64_t>& cents = day[index];
    // Ends the simulated day where the server's price is now.
    const std::int64_t shift =
        quote.buy_cents - (cents.empty() ? before_open[index].buy_cents : cents.back());
    record.SetPrevious(quote.code, Shifted(before_open[index].buy_cents, shift));
    for (std::size_t minute = 0; minute < cents.size(); ++minute) {
      record.Record(quote.code, {day_start + static_cast<std::int64_t>(minute) * 60,
                                 Shifted(cents[minute], shift)});
    }
    record.SetOpen(quote.code, Shifted(cents.empty() ? quote.buy_cents : cents.front(), shift));
  }
}

}  // namespace lumetta_server
