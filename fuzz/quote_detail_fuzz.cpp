// The quote detail comes from the server: any bytes must give a decision, and what is accepted
// must keep the promises of quotes/quote_detail.h, since its texts go into the tray tip and its
// market time into the age of the quote.

#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "quotes/catalogue.h"
#include "quotes/quote_age.h"
#include "quotes/quote_detail.h"
#include "text/ascii_case.h"

namespace {

// Whole UTF-8 characters without control characters: nothing that could break the tip's lines.
bool IsTipText(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) return false;
  }
  return fuzz::IsValidUtf8(text);
}

void CheckPrice(const std::optional<double>& price) {
  if (price) LUMETTA_FUZZ_CHECK(std::isfinite(*price) && *price >= 0);
}

}  // namespace

// Input: one byte choosing the asked product (a catalogue code, or the next field when it names
// none), eight bytes of the wall clock (nanoseconds since 1970), then the reply.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const std::uint8_t product = input.TakeByte();
  const std::string_view asked_code =
      product < quotes::kCatalogue.size() ? quotes::kCatalogue[product].code : input.TakeField();
  std::uint64_t clock = 0;
  for (int i = 0; i < 8; ++i) clock = (clock << 8) | input.TakeByte();
  const std::string_view reply = input.TakeRest();

  const std::optional<quotes::QuoteDetail> detail = quotes::ParseQuoteDetail(reply, asked_code);
  if (!detail) return 0;
  LUMETTA_FUZZ_CHECK(reply.size() <= quotes::kMaxDetailBytes);
  LUMETTA_FUZZ_CHECK(!detail->code.empty());
  LUMETTA_FUZZ_CHECK(text::EqualsIgnoreAsciiCase(detail->code, asked_code));
  for (const std::string* text : {&detail->source, &detail->symbol, &detail->benchmark}) {
    LUMETTA_FUZZ_CHECK(IsTipText(*text));
  }
  const std::string line = quotes::SourceTipLine(*detail);
  LUMETTA_FUZZ_CHECK(IsTipText(line));
  LUMETTA_FUZZ_CHECK(line.empty() == detail->source.empty());
  CheckPrice(detail->open);
  CheckPrice(detail->previous);
  CheckPrice(detail->high);
  CheckPrice(detail->low);
  if (detail->market_time) {
    LUMETTA_FUZZ_CHECK(*detail->market_time >= 0 && *detail->market_time <= quotes::kMaxMarketTime);
    // Any market time against any clock: an answer, without overflow.
    const std::chrono::system_clock::time_point now{
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::nanoseconds(static_cast<std::int64_t>(clock)))};
    quotes::MarketTimeIsStale(now, *detail->market_time);
  }
  return 0;
}
