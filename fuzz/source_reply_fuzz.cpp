// A source's reply comes from the internet: any bytes, in any of the formats the shipped file
// uses, must give quotes only for the symbols asked for, each with a positive last price.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "fuzz_input.h"
#include "server/live/live_config.h"
#include "server/live/source_reply.h"

namespace {

// The shipped file's kinds of source, with every product left without a chain.
constexpr std::string_view kSources = R"(
[source lines_gbk]
url = https://a.example/list={codes}
encoding = gbk
format = lines
variable = hq_str_{code}
fields = last:0 bid:2 ask:3 high:4 low:5 time:6 previous:7 open:8 date:12
batch = 20
[source json_epoch]
url = https://b.example/get?secid={code}
format = json
fields = last:data.f43 high:data.f44 low:data.f45 open:data.f46 previous:data.f60 epoch:data.f86
[source json_wrapped]
url = https://c.example/q?codes={codes}
format = json
fields = last:{code}.q63 open:{code}.q1 previous:{code}.q2 high:{code}.q3 low:{code}.q4 epoch_ms:{code}.time
batch = 20
[source json_iso]
url = https://d.example/price/{code}
format = json
fields = last:price iso:updatedAt
zone = -05:30
)";

std::vector<live::SourceEntry> Sources() {
  std::string text(kSources);
  for (const char* code : {"rmb", "gold", "icbcrmbgold", "icbcrmbsilver", "icbcrmbplatinum",
                           "icbcusdgold", "icbcusdsilver", "icbcusdplatinum", "ccbau9995",
                           "ccbau9999", "bocrmb", "bocusd", "au", "gt", "ag", "pt", "pa"}) {
    text += "[product ";
    text += code;
    text += "]\nchain =\n";
  }
  auto parsed = live::ParseLiveConfig(text);
  if (!std::holds_alternative<live::LiveConfig>(parsed)) __builtin_trap();
  return std::get<live::LiveConfig>(parsed).sources;
}

}  // namespace

// Input: one byte choosing the source, a field of symbols separated by ',', then the reply.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static const std::vector<live::SourceEntry> sources = Sources();
  fuzz::FuzzInput input(data, size);
  const live::SourceEntry& source = sources[input.TakeByte() % sources.size()];
  std::vector<std::string> symbols;
  std::string_view listed = input.TakeField();
  while (!listed.empty()) {
    const std::string_view symbol = listed.substr(0, listed.find(','));
    symbols.emplace_back(symbol);
    listed.remove_prefix(std::min(listed.size(), symbol.size() + 1));
  }
  const std::map<std::string, live::MarketQuote> quotes =
      live::ParseReply(source, input.TakeRest(), symbols);
  for (const auto& [symbol, quote] : quotes) {
    LUMETTA_FUZZ_CHECK(std::find(symbols.begin(), symbols.end(), symbol) != symbols.end());
    LUMETTA_FUZZ_CHECK(quote.last_cents > 0);
  }
  return 0;
}
