#include "net/bytes_to_text.h"

#include "text/ascii_case.h"
#include "text/converter.h"
#include "text/gbk.h"

namespace Code {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// Checked here rather than by iconv, which lets forms above U+10FFFF through: one replacement
// character per byte that starts no well-formed character.
std::string DecodeUtf8(std::string_view bytes) {
  std::string text;
  text.reserve(bytes.size());
  while (!bytes.empty()) {
    const std::size_t length = text::Utf8CharLength(bytes);
    if (length == 0) {
      text += kReplacement;
      bytes.remove_prefix(1);
    } else {
      text.append(bytes.substr(0, length));
      bytes.remove_prefix(length);
    }
  }
  return text;
}

}  // namespace

std::string BytesToText(std::string_view bytes, const std::string& charset) {
  if (text::EqualsIgnoreAsciiCase(charset, "utf-8")) {
    if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
    return DecodeUtf8(bytes);
  }
  return text::GbkToUtf8(bytes, kReplacement);
}

}  // namespace Code
