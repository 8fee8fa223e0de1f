#include "quotes/quote_reply.h"

#include <charconv>
#include <cmath>
#include <system_error>
#include <vector>

#include "quotes/catalogue.h"
#include "text/ascii_case.h"
#include "text/split.h"

namespace quotes {
namespace {

constexpr std::string_view kCrLf = "\r\n";

bool SameCode(std::string_view a, std::string_view b) { return text::EqualsIgnoreAsciiCase(a, b); }

std::string ComposeTooltip(std::string_view display_name, std::string_view buy,
                           std::string_view sell) {
  std::string tip;
  tip.reserve(64 + display_name.size() + buy.size() + sell.size());
  tip += "\r\n";
  tip += "   [";
  tip += display_name;
  tip += "]   ";
  tip += "\r\n\r\n";
  tip += "   买入价:";
  tip += buy;
  tip += "   ";
  tip += "\r\n\r\n";
  tip += "   卖出价:";
  tip += sell;
  tip += "   ";
  tip += "\r\n";
  return tip;
}

std::optional<Trend> Compare(std::string_view previous_buy, std::string_view new_buy) {
  const std::optional<float> before = ParseBuyPrice(previous_buy);
  const std::optional<float> after = ParseBuyPrice(new_buy);
  if (!before || !after) return std::nullopt;
  if (*before < *after) return Trend::kRise;
  if (*before > *after) return Trend::kFall;
  return Trend::kFlat;
}

}  // namespace

std::optional<float> ParseBuyPrice(std::string_view text) {
  float value = 0.0F;
  const char* const end = text.data() + text.size();
  const auto [ptr, ec] = std::from_chars(text.data(), end, value);
  if (ec != std::errc() || ptr != end || !std::isfinite(value)) return std::nullopt;
  return value;
}

std::optional<QuoteUpdate> ApplyQuoteReply(std::string_view reply, std::string_view selected_code,
                                           std::string_view previous_record,
                                           std::string_view display_name) {
  if (reply.empty() || reply.find(kCrLf) == std::string_view::npos) return std::nullopt;

  std::optional<QuoteUpdate> update;
  std::string record(previous_record);
  for (std::string_view line : text::SplitAll(reply, kCrLf)) {
    if (line.empty() || line.find(',') == std::string_view::npos) break;
    const std::vector<std::string_view> fields = text::SplitAll(line, ",");
    if (fields.size() != 3) break;
    const std::string_view code = fields[0];
    const std::string_view buy = fields[1];
    const std::string_view sell = fields[2];
    if (!SameCode(code, selected_code)) continue;

    if (!update) update.emplace();
    update->caption = "买入:";
    update->caption += buy;
    update->caption += " 卖出:";
    update->caption += sell;

    if (!record.empty()) {
      const std::vector<std::string_view> parts = text::SplitAll(record, "|");
      if (parts.size() == 3 && SameCode(parts[0], selected_code)) {
        // A text that is not a number skips the comparison: the marks and the tip keep
        // whatever an earlier line (or the screen) showed.
        if (const std::optional<Trend> trend = Compare(parts[1], buy)) {
          update->trend = trend;
          update->tooltip = ComposeTooltip(display_name, buy, sell);
        }
      }
    }

    update->code = code;
    update->buy = buy;
    record.assign(code);
    record += '|';
    record += buy;
    record += '|';
    record += sell;
  }
  if (update) update->record = std::move(record);
  return update;
}

}  // namespace quotes
