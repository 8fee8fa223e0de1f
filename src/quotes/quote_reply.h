#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quotes {

// How the new buy price moved against the previous quote of the same product.
enum class Trend { kRise, kFlat, kFall };

// What one quote reply changes in the price area. Unset optionals leave the marks, the
// colour and the tray tip as they were.
struct QuoteUpdate {
  std::string caption;                 // new caption of the Price label
  std::string record;                  // new previous-quote record (code|buy|sell as received)
  std::string code;                    // the product's code and buy price as received, from
  std::string buy;                     // the last line of the product in the reply
  std::optional<Trend> trend;          // set only when a comparison was made
  std::optional<std::string> tooltip;  // set together with trend

  friend bool operator==(const QuoteUpdate&, const QuoteUpdate&) = default;
};

// The decision of one quote fetch once the reply has arrived. `previous_record` is the
// Price label's tag, `display_name` the tray name of `selected_code` (empty when unknown).
// nullopt: nothing on screen changes (empty reply, no CRLF, or no line of the product
// before processing stopped at a malformed line).
std::optional<QuoteUpdate> ApplyQuoteReply(std::string_view reply, std::string_view selected_code,
                                           std::string_view previous_record,
                                           std::string_view display_name);

// A buy text read as single precision, independent of the C locale. The number must be the
// whole text: "270.5x", " 270.5", "+270.5" and the empty text are not numbers, and neither
// are infinities, NaN or values outside the float range. nullopt means "no comparison".
std::optional<float> ParseBuyPrice(std::string_view text);

}  // namespace quotes
