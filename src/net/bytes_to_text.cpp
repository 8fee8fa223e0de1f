#include "net/bytes_to_text.h"

#include "text/ascii_case.h"
#include "text/converter.h"
#include "text/gbk.h"

namespace Code {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

}  // namespace

std::string BytesToText(std::string_view bytes, const std::string& charset) {
  if (text::EqualsIgnoreAsciiCase(charset, "utf-8")) {
    if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
    // One replacement character per byte that does not decode.
    return text::Convert(bytes, "UTF-8", "UTF-8", kReplacement,
                         [](std::string_view) { return std::size_t{1}; })
        .value_or(std::string());
  }
  return text::GbkToUtf8(bytes, kReplacement);
}

}  // namespace Code
