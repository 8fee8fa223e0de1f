#include "server/live/quote_detail.h"

#include <charconv>
#include <string_view>

namespace live {
namespace {

void AddLine(std::string& text, std::string_view key, std::string_view value) {
  if (value.empty()) return;
  text += key;
  text += '=';
  text += value;
  text += "\r\n";
}

std::string NumberText(std::int64_t number) {
  char digits[24];
  const auto written = std::to_chars(digits, digits + sizeof digits, number);
  return std::string(digits, written.ptr);
}

void AddPrice(std::string& text, std::string_view key, const std::optional<std::int64_t>& cents) {
  if (cents) AddLine(text, key, CentsText(*cents));
}

}  // namespace

std::string CentsText(std::int64_t cents) {
  const bool negative = cents < 0;
  // Hundredths of a negative price are its magnitude's; unsigned so the smallest one negates.
  const std::uint64_t magnitude =
      negative ? 0 - static_cast<std::uint64_t>(cents) : static_cast<std::uint64_t>(cents);
  char digits[24];
  const auto written = std::to_chars(digits, digits + sizeof digits, magnitude / 100);
  std::string text = negative ? "-" : "";
  text.append(digits, written.ptr);
  text += '.';
  text += static_cast<char>('0' + magnitude % 100 / 10);
  text += static_cast<char>('0' + magnitude % 10);
  return text;
}

std::string DetailText(const QuoteDetail& detail) {
  std::string text;
  AddLine(text, "code", detail.code);
  AddLine(text, "status", detail.status);
  AddLine(text, "source", detail.source);
  AddLine(text, "symbol", detail.symbol);
  AddLine(text, "benchmark", detail.benchmark);
  AddLine(text, "shown", detail.shown);
  if (detail.time) AddLine(text, "time", NumberText(*detail.time));
  AddPrice(text, "open", detail.open_cents);
  AddPrice(text, "previous", detail.previous_cents);
  AddPrice(text, "high", detail.high_cents);
  AddPrice(text, "low", detail.low_cents);
  return text;
}

}  // namespace live
