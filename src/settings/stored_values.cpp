#include "settings/stored_values.h"

#include <array>
#include <charconv>
#include <cmath>
#include <system_error>

#include "settings/settings_schema.h"

namespace settings {
namespace {

// A whole-text decimal number with an optional leading sign. The sign is read so that a
// negative position is recognised as a number and then refused by the caller: stored
// positions must be positive.
std::optional<double> ParseNumber(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return std::nullopt;
  double value = 0;
  const auto [end, ec] =
      std::from_chars(text.data(), text.data() + text.size(), value, std::chars_format::fixed);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return value;
}

// ReadStoredTransparent reads the tens digit alone: every accepted text (the fallback is one)
// must be two digits ending in zero.
constexpr bool TransparentsAreWholeTens() {
  for (const std::string_view text : RuleOf(Key::kTransparent).accepted) {
    if (text.size() != 2 || text[0] < '1' || text[0] > '9' || text[1] != '0') return false;
  }
  return true;
}
static_assert(TransparentsAreWholeTens(), "a Transparent text is not a whole number of tens");

std::optional<int> PositiveIntegerPart(std::string_view text) {
  const auto value = ParseNumber(text);
  if (!value) return std::nullopt;
  const double whole = std::floor(*value);
  if (whole <= 0 || whole > kMaxPositionTwips) return std::nullopt;
  return static_cast<int>(whole);
}

}  // namespace

std::string SettingsFilePath(std::string_view program_dir) {
  std::string path(program_dir);
  if (path.empty() || path.back() != '/') path += '/';
  path += kSettingsFileName;
  return path;
}

std::optional<TwipsPosition> ReadStoredPosition(std::string_view left, std::string_view top) {
  const auto l = PositiveIntegerPart(left);
  const auto t = PositiveIntegerPart(top);
  if (!l || !t) return std::nullopt;
  return TwipsPosition{*l, *t};
}

int ReadStoredTransparent(std::string_view stored) {
  const std::string percent = Normalised(Key::kTransparent, stored);
  return (percent[0] - '0') * 10;
}

std::string FormatSingle(float value) {
  std::array<char, 64> buffer{};
  const auto [end, ec] =
      std::to_chars(buffer.data(), buffer.data() + buffer.size(), value, std::chars_format::fixed);
  if (ec != std::errc()) return "0";
  return {buffer.data(), end};
}

}  // namespace settings
