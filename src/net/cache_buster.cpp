#include "net/cache_buster.h"

#include <algorithm>
#include <cassert>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <random>
#include <string_view>

namespace Code {
namespace {

constexpr int kSignificantDigits = 15;

// Decimal exponent of `value` once rounded to 15 significant digits (rounding can carry into
// the next power of ten, which is why this asks to_chars instead of taking log10).
int RoundedExponent(double value) {
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, value, std::chars_format::scientific,
                                     kSignificantDigits - 1);
  std::string_view exponent(text, static_cast<size_t>(written.ptr - text));
  exponent.remove_prefix(exponent.find('e') + 1);
  if (exponent.front() == '+') exponent.remove_prefix(1);
  int result = 0;
  std::from_chars(exponent.data(), exponent.data() + exponent.size(), result);
  return result;
}

}  // namespace

std::string FormatCacheBustingNumber(double value) {
  assert(std::isfinite(value));
  if (value == 0) return "0";
  const int decimals = std::max(0, kSignificantDigits - 1 - RoundedExponent(value));
  char text[400];  // the widest double in fixed form has 309 integer digits
  const auto written =
      std::to_chars(text, text + sizeof text, value, std::chars_format::fixed, decimals);
  std::string_view digits(text, static_cast<size_t>(written.ptr - text));
  if (digits.find('.') != std::string_view::npos) {
    digits.remove_suffix(digits.size() - 1 - digits.find_last_not_of('0'));
    if (digits.back() == '.') digits.remove_suffix(1);
  }
  return std::string(digits);
}

std::string NewCacheBustingNumber() {
  const auto ticks = std::chrono::high_resolution_clock::now().time_since_epoch().count();
  const auto seed = static_cast<std::uint64_t>(ticks);
  std::mt19937 generator(static_cast<std::uint32_t>(seed ^ (seed >> 32)));
  // 24 random bits make every single-precision value in [0, 1) with an exact float, never 1.
  const float fraction = std::ldexp(static_cast<float>(generator() >> 8), -24);
  return FormatCacheBustingNumber(static_cast<double>(fraction) * 1e9 + 1);
}

}  // namespace Code
