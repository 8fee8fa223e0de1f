#pragma once

// Reading a source's reply: the quotes it holds for the symbols asked for.

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "server/live/live_config.h"

namespace live {

// Prices in hundredths of the source's unit, rounded half away from zero.
struct MarketQuote {
  std::int64_t last_cents = 0;  // always above zero in a parsed quote
  std::optional<std::int64_t> bid_cents;
  std::optional<std::int64_t> ask_cents;
  std::optional<std::int64_t> high_cents;
  std::optional<std::int64_t> low_cents;
  std::optional<std::int64_t> open_cents;
  std::optional<std::int64_t> previous_cents;
  std::optional<std::int64_t> market_time;  // Unix seconds of the quote's own time
};

// The quotes in `body` (raw bytes, decoded per the source's encoding) for `symbols`. A symbol
// whose entry is missing, empty or without a positive last price is left out; so is a field
// that does not parse (the quote keeps the others). Never throws on any input.
std::map<std::string, MarketQuote> ParseReply(const SourceEntry& source, std::string_view body,
                                              const std::vector<std::string>& symbols);

}  // namespace live
