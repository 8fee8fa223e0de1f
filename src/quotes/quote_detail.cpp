#include "quotes/quote_detail.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <system_error>
#include <vector>

#include "text/ascii_case.h"
#include "text/converter.h"

namespace quotes {
namespace {

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Text that may go into the tip as it is: whole UTF-8 characters, no control characters.
bool IsPlainText(std::string_view text) {
  while (!text.empty()) {
    const auto byte = static_cast<unsigned char>(text.front());
    if (byte < 0x20 || byte == 0x7F) return false;
    const std::size_t length = text::Utf8CharLength(text);
    if (length == 0) return false;
    text.remove_prefix(length);
  }
  return true;
}

// Digits, then optionally '.' and more digits: how the server writes prices.
std::optional<double> ParsePrice(std::string_view text) {
  const std::size_t dot = text.find('.');
  const std::string_view whole = text.substr(0, dot);
  const std::string_view fraction =
      dot == std::string_view::npos ? std::string_view() : text.substr(dot + 1);
  const bool digits_only = std::all_of(whole.begin(), whole.end(), IsDigit) &&
                           std::all_of(fraction.begin(), fraction.end(), IsDigit);
  if (whole.empty() || !digits_only || (dot != std::string_view::npos && fraction.empty())) {
    return std::nullopt;
  }
  double value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::optional<std::int64_t> ParseTime(std::string_view text) {
  if (text.empty() || !std::all_of(text.begin(), text.end(), IsDigit)) return std::nullopt;
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > kMaxMarketTime) {
    return std::nullopt;
  }
  return value;
}

std::optional<SourceStatus> ParseStatus(std::string_view text) {
  if (text == "live") return SourceStatus::kLive;
  if (text == "waiting") return SourceStatus::kWaiting;
  if (text == "nosource") return SourceStatus::kNoSource;
  return std::nullopt;
}

std::optional<ShownPrices> ParseShown(std::string_view text) {
  if (text == "bidask") return ShownPrices::kBidAsk;
  if (text == "last") return ShownPrices::kLast;
  return std::nullopt;
}

// Stores one known key's value; false when the value is malformed.
bool Store(std::string_view key, std::string_view value, QuoteDetail& detail, bool& has_status) {
  const std::array<std::pair<std::string_view, std::optional<double>*>, 4> prices = {{
      {"open", &detail.open},
      {"previous", &detail.previous},
      {"high", &detail.high},
      {"low", &detail.low},
  }};
  if (key == "open") detail.exact_open = ParseExactPrice(value);
  for (const auto& [name, slot] : prices) {
    if (key != name) continue;
    *slot = ParsePrice(value);
    return slot->has_value();
  }
  if (key == "time") {
    detail.market_time = ParseTime(value);
    return detail.market_time.has_value();
  }
  if (key == "status") {
    const std::optional<SourceStatus> status = ParseStatus(value);
    if (!status) return false;
    detail.status = *status;
    has_status = true;
    return true;
  }
  if (key == "shown") {
    if (value.empty()) return true;
    detail.shown = ParseShown(value);
    return detail.shown.has_value();
  }
  if (key == "code") detail.code = value;
  if (key == "source") detail.source = value;
  if (key == "symbol") detail.symbol = value;
  if (key == "benchmark") detail.benchmark = value;
  return true;
}

}  // namespace

std::optional<QuoteDetail> ParseQuoteDetail(std::string_view reply, std::string_view asked_code) {
  if (reply.size() > kMaxDetailBytes) return std::nullopt;
  QuoteDetail detail;
  bool has_status = false;
  std::vector<std::string_view> seen;
  while (!reply.empty()) {
    const std::size_t end = reply.find('\n');
    std::string_view line = reply.substr(0, end);
    reply.remove_prefix(end == std::string_view::npos ? reply.size() : end + 1);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty()) continue;
    const std::size_t equals = line.find('=');
    if (equals == std::string_view::npos || equals == 0) return std::nullopt;
    const std::string_view key = line.substr(0, equals);
    const std::string_view value = line.substr(equals + 1);
    if (!IsPlainText(key) || !IsPlainText(value)) return std::nullopt;
    if (std::find(seen.begin(), seen.end(), key) != seen.end()) return std::nullopt;
    seen.push_back(key);
    if (!Store(key, value, detail, has_status)) return std::nullopt;
  }
  if (!has_status || detail.code.empty() || !text::EqualsIgnoreAsciiCase(detail.code, asked_code)) {
    return std::nullopt;
  }
  return detail;
}

std::string SourceTipLine(const QuoteDetail& detail) {
  if (detail.source.empty()) return {};
  std::string line = "来源 " + detail.source;
  if (!detail.symbol.empty()) line += " " + detail.symbol;
  if (!detail.benchmark.empty()) line += "（以" + detail.benchmark + "为准）";
  if (detail.shown == ShownPrices::kLast) line += " 买卖均为最新价";
  return line;
}

std::string NoSourceTipLine(std::string_view display_name) {
  return "行情服务器没有" + std::string(display_name) + "的行情源";
}

}  // namespace quotes
