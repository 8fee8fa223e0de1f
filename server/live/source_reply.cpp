#include "server/live/source_reply.h"

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>
#include <vector>

#include "text/gbk.h"

namespace live {
namespace {

using Json = nlohmann::json;

constexpr std::string_view kCodeMark = "{code}";

// A price above this (in the source's unit) is a broken reply, not a market.
constexpr std::int64_t kMaxCents = 100'000'000'000'000;  // 1e12 units
// 9999-12-31T23:59:59Z: later times are garbage, and the limit keeps the sums in range.
constexpr std::int64_t kMaxUnixSeconds = 253'402'300'799;

std::string Replace(std::string_view text, std::string_view mark, std::string_view by) {
  std::string result;
  std::size_t start = 0;
  for (std::size_t at = text.find(mark); at != std::string_view::npos;
       at = text.find(mark, start)) {
    result.append(text.substr(start, at - start)).append(by);
    start = at + mark.size();
  }
  result.append(text.substr(start));
  return result;
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsSpace(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsSpace(text.back())) text.remove_suffix(1);
  return text;
}

// A non-negative decimal number as written, "937.52" or "4.1652e3": digits * 10^exponent.
// Kept as text so that rounding to hundredths follows the digits, not a binary fraction.
struct Decimal {
  std::string digits;  // no leading zeros; empty for zero
  std::int64_t exponent = 0;
};

std::optional<Decimal> ParseDecimal(std::string_view text) {
  Decimal decimal;
  std::size_t at = 0;
  bool any_digit = false;
  while (at < text.size() && IsDigit(text[at])) {
    decimal.digits += text[at++];
    any_digit = true;
  }
  if (at < text.size() && text[at] == '.') {
    ++at;
    while (at < text.size() && IsDigit(text[at])) {
      decimal.digits += text[at++];
      --decimal.exponent;
      any_digit = true;
    }
  }
  if (!any_digit) return std::nullopt;
  if (at < text.size() && (text[at] == 'e' || text[at] == 'E')) {
    ++at;
    bool negative = false;
    if (at < text.size() && (text[at] == '+' || text[at] == '-')) negative = text[at++] == '-';
    const std::size_t start = at;
    std::int64_t power = 0;
    while (at < text.size() && IsDigit(text[at]) && at - start < 6) {
      power = power * 10 + (text[at++] - '0');
    }
    if (at == start) return std::nullopt;
    decimal.exponent += negative ? -power : power;
  }
  if (at != text.size()) return std::nullopt;  // a sign, a second point, trailing text
  const std::size_t first = decimal.digits.find_first_not_of('0');
  decimal.digits.erase(0, first == std::string::npos ? decimal.digits.size() : first);
  return decimal;
}

// value * 10^scale as a whole number, the dropped digits rounded half away from zero (the value
// is never negative) or cut off; nothing when it reaches past `limit`.
std::optional<std::int64_t> Scaled(const Decimal& decimal, int scale, bool round,
                                   std::int64_t limit) {
  const std::string& digits = decimal.digits;
  const auto count = static_cast<std::int64_t>(digits.size());
  const std::int64_t shift = decimal.exponent + scale;
  // Digits before the point of the result; more than 18 cannot be below any limit of ours.
  const std::int64_t whole_digits = count + shift;
  if (digits.empty() || whole_digits < 0) return 0;
  if (whole_digits > 18) return std::nullopt;
  std::int64_t value = 0;
  for (std::int64_t index = 0; index < whole_digits; ++index) {
    value = value * 10 + (index < count ? digits[static_cast<std::size_t>(index)] - '0' : 0);
  }
  if (round && whole_digits < count && digits[static_cast<std::size_t>(whole_digits)] >= '5') {
    ++value;
  }
  if (value > limit) return std::nullopt;
  return value;
}

std::optional<std::int64_t> TextCents(std::string_view text) {
  const std::optional<Decimal> decimal = ParseDecimal(Trim(text));
  if (!decimal) return std::nullopt;
  return Scaled(*decimal, 2, true, kMaxCents);
}

// JSON numbers, and numbers in strings as some sources send them, as text in the JSON's own
// notation. A double is written back shortest-exact, which gives back the digits the source
// wrote (4165.200195, not 4165.2001949999...).
std::optional<std::string> JsonNumberText(const Json& value) {
  if (const auto* unsigned_value = value.get_ptr<const Json::number_unsigned_t*>()) {
    return std::to_string(*unsigned_value);
  }
  if (const auto* signed_value = value.get_ptr<const Json::number_integer_t*>()) {
    return std::to_string(*signed_value);  // negative: refused by ParseDecimal
  }
  if (const auto* float_value = value.get_ptr<const Json::number_float_t*>()) {
    if (!std::isfinite(*float_value)) return std::nullopt;
    char buffer[64];
    const std::to_chars_result written =
        std::to_chars(buffer, buffer + sizeof buffer, *float_value);
    if (written.ec != std::errc()) return std::nullopt;
    return std::string(buffer, written.ptr);
  }
  if (const auto* string_value = value.get_ptr<const Json::string_t*>()) return *string_value;
  return std::nullopt;
}

std::optional<int> TwoDigits(std::string_view text, std::size_t at) {
  if (at + 2 > text.size() || !IsDigit(text[at]) || !IsDigit(text[at + 1])) return std::nullopt;
  return (text[at] - '0') * 10 + (text[at + 1] - '0');
}

// "HH:MM:SS" (the hour may have one digit) -> seconds of the day.
std::optional<std::int64_t> TimeOfDay(std::string_view text) {
  text = Trim(text);
  if (text.size() == 7) {
    // "9:30:00": the hour without its leading zero.
    std::string padded = "0";
    padded.append(text);
    return TimeOfDay(padded);
  }
  if (text.size() != 8 || text[2] != ':' || text[5] != ':') return std::nullopt;
  const std::optional<int> hours = TwoDigits(text, 0);
  const std::optional<int> minutes = TwoDigits(text, 3);
  const std::optional<int> seconds = TwoDigits(text, 6);
  if (!hours || !minutes || !seconds || *hours > 23 || *minutes > 59 || *seconds > 59) {
    return std::nullopt;
  }
  return *hours * 3600 + *minutes * 60 + *seconds;
}

// "YYYY-MM-DD" -> days since 1970-01-01, by the proleptic Gregorian calendar (no locale, no
// time zone database).
std::optional<std::int64_t> DayNumber(std::string_view text) {
  text = Trim(text);
  if (text.size() != 10 || text[4] != '-' || text[7] != '-') return std::nullopt;
  const std::optional<int> century = TwoDigits(text, 0);
  const std::optional<int> year_in_century = TwoDigits(text, 2);
  const std::optional<int> month = TwoDigits(text, 5);
  const std::optional<int> day = TwoDigits(text, 8);
  if (!century || !year_in_century || !month || !day) return std::nullopt;
  const std::chrono::year_month_day date{std::chrono::year(*century * 100 + *year_in_century),
                                         std::chrono::month(static_cast<unsigned>(*month)),
                                         std::chrono::day(static_cast<unsigned>(*day))};
  if (!date.ok() || date.year() < std::chrono::year(1970)) return std::nullopt;
  return std::chrono::sys_days(date).time_since_epoch().count();
}

std::optional<std::int64_t> LocalToUnix(std::int64_t day, std::int64_t seconds_of_day,
                                        int zone_minutes) {
  const std::int64_t unix_seconds = day * 86400 + seconds_of_day - zone_minutes * 60LL;
  if (unix_seconds < 0 || unix_seconds > kMaxUnixSeconds) return std::nullopt;
  return unix_seconds;
}

// "2026-07-03T16:08:54Z", "...54.123+08:00", "...54+0800"; without an offset the source's zone.
std::optional<std::int64_t> IsoToUnix(std::string_view text, int zone_minutes) {
  text = Trim(text);
  if (text.size() < 19 || (text[10] != 'T' && text[10] != 't' && text[10] != ' ')) {
    return std::nullopt;
  }
  const std::optional<std::int64_t> day = DayNumber(text.substr(0, 10));
  const std::optional<std::int64_t> time = TimeOfDay(text.substr(11, 8));
  if (!day || !time) return std::nullopt;
  std::string_view rest = text.substr(19);
  if (!rest.empty() && rest.front() == '.') {
    rest.remove_prefix(1);
    const std::size_t digits = std::min(rest.find_first_not_of("0123456789"), rest.size());
    if (digits == 0) return std::nullopt;
    rest.remove_prefix(digits);
  }
  int offset = zone_minutes;
  if (rest == "Z" || rest == "z") {
    offset = 0;
  } else if (!rest.empty()) {
    if (rest.front() != '+' && rest.front() != '-') return std::nullopt;
    const bool colon = rest.size() == 6 && rest[3] == ':';
    if (!colon && rest.size() != 5) return std::nullopt;
    const std::optional<int> hours = TwoDigits(rest, 1);
    const std::optional<int> minutes = TwoDigits(rest, colon ? 4 : 3);
    if (!hours || !minutes || *hours > 14 || *minutes > 59) return std::nullopt;
    offset = (*hours * 60 + *minutes) * (rest.front() == '-' ? -1 : 1);
  }
  return LocalToUnix(*day, *time, offset);
}

std::optional<std::int64_t> EpochToUnix(std::string_view text, bool milliseconds) {
  const std::optional<Decimal> decimal = ParseDecimal(Trim(text));
  if (!decimal) return std::nullopt;
  const std::optional<std::int64_t> seconds =
      Scaled(*decimal, milliseconds ? -3 : 0, false, kMaxUnixSeconds);
  if (!seconds || *seconds == 0) return std::nullopt;
  return seconds;
}

bool IsPrice(Field field) {
  switch (field) {
    case Field::kLast:
    case Field::kBid:
    case Field::kAsk:
    case Field::kHigh:
    case Field::kLow:
    case Field::kOpen:
    case Field::kPrevious:
      return true;
    case Field::kTime:
    case Field::kDate:
    case Field::kEpoch:
    case Field::kEpochMs:
    case Field::kIso:
      break;
  }
  return false;
}

std::optional<std::int64_t>* PriceSlot(MarketQuote& quote, Field field) {
  switch (field) {
    case Field::kBid:
      return &quote.bid_cents;
    case Field::kAsk:
      return &quote.ask_cents;
    case Field::kHigh:
      return &quote.high_cents;
    case Field::kLow:
      return &quote.low_cents;
    case Field::kOpen:
      return &quote.open_cents;
    case Field::kPrevious:
      return &quote.previous_cents;
    default:
      return nullptr;
  }
}

// One symbol's fields as texts, whichever the format; fields the reply lacks are absent.
using FieldTexts = std::map<Field, std::string>;

// The quote from its fields' texts: nothing without a positive last price. A zero in another
// price means "none" (closed markets send 0 for bid and ask) and is left out like garbage.
// The time: epoch, then epoch_ms, then iso, then date + time. A time of day without a date
// gives no market time: which day it belongs to is the caller's call.
std::optional<MarketQuote> BuildQuote(const FieldTexts& texts, int zone_minutes) {
  MarketQuote quote;
  const auto last = texts.find(Field::kLast);
  if (last == texts.end()) return std::nullopt;
  const std::optional<std::int64_t> last_cents = TextCents(last->second);
  if (!last_cents || *last_cents <= 0) return std::nullopt;
  quote.last_cents = *last_cents;
  for (const auto& [field, value] : texts) {
    if (!IsPrice(field) || field == Field::kLast) continue;
    const std::optional<std::int64_t> cents = TextCents(value);
    if (cents && *cents > 0) *PriceSlot(quote, field) = cents;
  }
  const auto text_of = [&](Field field) -> const std::string* {
    const auto found = texts.find(field);
    return found == texts.end() ? nullptr : &found->second;
  };
  if (const std::string* epoch = text_of(Field::kEpoch)) {
    quote.market_time = EpochToUnix(*epoch, false);
  }
  if (const std::string* epoch_ms = text_of(Field::kEpochMs); epoch_ms && !quote.market_time) {
    quote.market_time = EpochToUnix(*epoch_ms, true);
  }
  if (const std::string* iso = text_of(Field::kIso); iso && !quote.market_time) {
    quote.market_time = IsoToUnix(*iso, zone_minutes);
  }
  const std::string* date = text_of(Field::kDate);
  const std::string* time = text_of(Field::kTime);
  if (date && time && !quote.market_time) {
    const std::optional<std::int64_t> day = DayNumber(*date);
    const std::optional<std::int64_t> seconds = TimeOfDay(*time);
    if (day && seconds) quote.market_time = LocalToUnix(*day, *seconds, zone_minutes);
  }
  return quote;
}

bool IsNameChar(char c) {
  return IsDigit(c) || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '$';
}

// The quoted value of `name="..."` (blanks allowed around '='), on one line; nothing when the
// variable is absent or its quote never closes.
std::optional<std::string_view> VariableValue(std::string_view body, std::string_view name) {
  for (std::size_t at = body.find(name); at != std::string_view::npos;
       at = body.find(name, at + 1)) {
    if (at > 0 && IsNameChar(body[at - 1])) continue;
    std::size_t cursor = at + name.size();
    while (cursor < body.size() && (body[cursor] == ' ' || body[cursor] == '\t')) ++cursor;
    if (cursor >= body.size() || body[cursor] != '=') continue;
    ++cursor;
    while (cursor < body.size() && (body[cursor] == ' ' || body[cursor] == '\t')) ++cursor;
    if (cursor >= body.size() || body[cursor] != '"') continue;
    ++cursor;
    const std::size_t close = body.find_first_of("\"\n", cursor);
    if (close == std::string_view::npos || body[close] != '"') return std::nullopt;
    return body.substr(cursor, close - cursor);
  }
  return std::nullopt;
}

std::optional<FieldTexts> LineFields(const SourceEntry& source, std::string_view body,
                                     const std::string& symbol) {
  const std::optional<std::string_view> value =
      VariableValue(body, Replace(source.variable, kCodeMark, symbol));
  if (!value || value->empty()) return std::nullopt;
  std::vector<std::string_view> parts;
  std::string_view rest = *value;
  for (;;) {
    const std::size_t comma = rest.find(',');
    parts.push_back(rest.substr(0, comma));
    if (comma == std::string_view::npos) break;
    rest.remove_prefix(comma + 1);
  }
  FieldTexts texts;
  for (const FieldEntry& source_entry : source.fields) {
    std::size_t position = 0;
    const std::from_chars_result read = std::from_chars(
        source_entry.where.data(), source_entry.where.data() + source_entry.where.size(), position);
    if (read.ec != std::errc() || position >= parts.size()) continue;
    texts[source_entry.field] = std::string(parts[position]);
  }
  return texts;
}

// The JSON text without a "var NAME =" in front and ";" behind.
std::string_view JsonText(std::string_view body) {
  constexpr std::string_view kBom = "\xEF\xBB\xBF";
  if (body.substr(0, kBom.size()) == kBom) body.remove_prefix(kBom.size());
  body = Trim(body);
  if (body.substr(0, 4) == "var " || body.substr(0, 4) == "var\t") {
    const std::size_t equals = body.find('=');
    body = equals == std::string_view::npos ? std::string_view() : body.substr(equals + 1);
  }
  body = Trim(body);
  while (!body.empty() && body.back() == ';') body = Trim(body.substr(0, body.size() - 1));
  return body;
}

const Json* Follow(const Json& root, std::string_view path, const std::string& symbol) {
  const Json* node = &root;
  for (;;) {
    const std::size_t dot = path.find('.');
    const std::string key = Replace(path.substr(0, dot), kCodeMark, symbol);
    if (node->is_object()) {
      const auto found = node->find(key);
      if (found == node->end()) return nullptr;
      node = &*found;
    } else if (node->is_array()) {
      std::size_t index = 0;
      const std::from_chars_result read =
          std::from_chars(key.data(), key.data() + key.size(), index);
      if (read.ec != std::errc() || read.ptr != key.data() + key.size() || index >= node->size()) {
        return nullptr;
      }
      node = &(*node)[index];
    } else {
      return nullptr;
    }
    if (dot == std::string_view::npos) return node;
    path.remove_prefix(dot + 1);
  }
}

FieldTexts JsonFields(const SourceEntry& source, const Json& root, const std::string& symbol) {
  FieldTexts texts;
  for (const FieldEntry& source_entry : source.fields) {
    const Json* value = Follow(root, source_entry.where, symbol);
    if (value == nullptr) continue;
    if (std::optional<std::string> number = JsonNumberText(*value)) {
      texts[source_entry.field] = std::move(*number);
    }
  }
  return texts;
}

}  // namespace

std::map<std::string, MarketQuote> ParseReply(const SourceEntry& source, std::string_view body,
                                              const std::vector<std::string>& symbols) {
  std::map<std::string, MarketQuote> quotes;
  std::string decoded;
  if (source.encoding == "gbk") {
    decoded = text::GbkToUtf8(body);
    body = decoded;
  }
  if (source.format == ReplyFormat::kLines) {
    for (const std::string& symbol : symbols) {
      const std::optional<FieldTexts> texts = LineFields(source, body, symbol);
      if (!texts) continue;
      if (std::optional<MarketQuote> quote = BuildQuote(*texts, source.zone_minutes)) {
        quotes[symbol] = *quote;
      }
    }
    return quotes;
  }
  const Json root = Json::parse(JsonText(body), nullptr, /*allow_exceptions=*/false);
  if (root.is_discarded()) return quotes;
  for (const std::string& symbol : symbols) {
    if (std::optional<MarketQuote> quote =
            BuildQuote(JsonFields(source, root, symbol), source.zone_minutes)) {
      quotes[symbol] = *quote;
    }
  }
  return quotes;
}

}  // namespace live
