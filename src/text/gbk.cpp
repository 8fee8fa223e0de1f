#include "text/gbk.h"

#include "text/converter.h"

namespace text {
namespace {

constexpr const char* kGbk = "CP936";
constexpr const char* kUtf8 = "UTF-8";

}  // namespace

std::string Utf8ToGbk(std::string_view utf8) {
  // A valid character GBK lacks is skipped whole; a malformed byte on its own.
  return Convert(utf8, kGbk, kUtf8, "?", [](std::string_view rest) { return Utf8CharLength(rest); })
      .value_or(std::string());
}

std::string GbkToUtf8(std::string_view gbk, std::string_view replacement) {
  return Convert(gbk, kUtf8, kGbk, replacement, [](std::string_view) { return std::size_t{1}; })
      .value_or(std::string());
}

}  // namespace text
