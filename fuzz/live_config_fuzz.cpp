// The sources file is edited by users: any bytes must give a configuration or a refusal that
// names a line of the file, and an accepted configuration must keep the promises the live book
// relies on.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <variant>

#include "fuzz_input.h"
#include "quotes/catalogue.h"
#include "server/live/live_config.h"
#include "server/live/poll_plan.h"
#include "server/live/upstream_fetch.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::variant<live::LiveConfig, live::ConfigError> parsed = live::ParseLiveConfig(text);
  if (const auto* error = std::get_if<live::ConfigError>(&parsed)) {
    const auto lines = static_cast<int>(std::count(text.begin(), text.end(), '\n')) + 1;
    LUMETTA_FUZZ_CHECK(error->line >= 0 && error->line <= lines);
    LUMETTA_FUZZ_CHECK(!error->message.empty());
    LUMETTA_FUZZ_CHECK(!live::DescribeError("f.ini", *error).empty());
    return 0;
  }
  const live::LiveConfig& config = std::get<live::LiveConfig>(parsed);
  LUMETTA_FUZZ_CHECK(config.products.size() == quotes::kCatalogue.size());
  for (const live::SourceEntry& source : config.sources) {
    LUMETTA_FUZZ_CHECK(source.batch >= 1);
    LUMETTA_FUZZ_CHECK(source.interval.count() >= 1 && source.timeout.count() >= 1);
    // Whatever symbols go into it, the address stays one the fetch may ask.
    LUMETTA_FUZZ_CHECK(live::AllowedUrl(live::RequestUrl(source, {"a/b?c", "#d e"})));
  }
  for (const live::ProductSources& product : config.products) {
    LUMETTA_FUZZ_CHECK(quotes::FindProduct(product.code) != nullptr);
    for (const live::ChainLink& link : product.chain) {
      LUMETTA_FUZZ_CHECK(
          std::any_of(config.sources.begin(), config.sources.end(),
                      [&](const live::SourceEntry& s) { return s.id == link.source_id; }));
    }
  }
  return 0;
}
