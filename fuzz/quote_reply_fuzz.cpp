// The quote reply comes from the server: any bytes must give a decision, and the decision
// must keep the promises of quotes/quote_reply.h.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "fuzz_input.h"
#include "quotes/catalogue.h"
#include "quotes/quote_reply.h"
#include "text/ascii_case.h"

namespace {

void CheckBuyPrice(std::string_view text) {
  const std::optional<float> price = quotes::ParseBuyPrice(text);
  if (!price) return;
  LUMETTA_FUZZ_CHECK(std::isfinite(*price));
  LUMETTA_FUZZ_CHECK(!text.empty());
  LUMETTA_FUZZ_CHECK(text.front() != ' ' && text.front() != '+');
}

}  // namespace

// Input: one byte choosing the product (a catalogue code, or the next field when it names
// none), then the fields reply, [code], previous record and display name.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const std::uint8_t product = input.TakeByte();
  const std::string_view reply = input.TakeField();
  const std::string_view selected_code =
      product < quotes::kCatalogue.size() ? quotes::kCatalogue[product].code : input.TakeField();
  const std::string_view previous_record = input.TakeField();
  const std::string_view display_name = input.TakeField();

  const std::optional<quotes::QuoteUpdate> update =
      quotes::ApplyQuoteReply(reply, selected_code, previous_record, display_name);
  if (reply.find("\r\n") == std::string_view::npos) LUMETTA_FUZZ_CHECK(!update);
  if (update) {
    LUMETTA_FUZZ_CHECK(update->trend.has_value() == update->tooltip.has_value());
    // The new record is a line of the selected product: its code first, then '|'.
    const std::string_view record = update->record;
    LUMETTA_FUZZ_CHECK(record.size() > selected_code.size());
    LUMETTA_FUZZ_CHECK(record[selected_code.size()] == '|');
    LUMETTA_FUZZ_CHECK(
        text::EqualsIgnoreAsciiCase(record.substr(0, selected_code.size()), selected_code));
  }

  CheckBuyPrice(previous_record);
  CheckBuyPrice(display_name);
  return 0;
}
