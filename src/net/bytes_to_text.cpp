#include "net/bytes_to_text.h"

#include <iconv.h>

#include <cerrno>
#include <memory>
#include <type_traits>

#include "net/ascii_case.h"

namespace Code {
namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

struct IconvCloser {
  void operator()(iconv_t converter) const { iconv_close(converter); }
};
using Converter = std::unique_ptr<std::remove_pointer_t<iconv_t>, IconvCloser>;

std::string ConvertToUtf8(std::string_view bytes, const char* from) {
  const iconv_t opened = iconv_open("UTF-8", from);
  if (opened == reinterpret_cast<iconv_t>(-1)) return {};
  const Converter converter(opened);

  std::string text;
  text.reserve(bytes.size() + bytes.size() / 2);
  // iconv's interface takes non-const input pointers but never writes through them.
  char* in = const_cast<char*>(bytes.data());
  size_t in_left = bytes.size();
  char chunk[8192];
  while (in_left > 0) {
    char* out = chunk;
    size_t out_left = sizeof chunk;
    const size_t result = iconv(converter.get(), &in, &in_left, &out, &out_left);
    text.append(chunk, static_cast<size_t>(out - chunk));
    if (result != static_cast<size_t>(-1) || errno == E2BIG) continue;
    // EILSEQ (a byte that starts no valid sequence) or EINVAL (a sequence cut off at the end):
    // replace one byte and go on with the next.
    text += kReplacement;
    ++in;
    --in_left;
  }
  return text;
}

}  // namespace

std::string BytesToText(std::string_view bytes, const std::string& charset) {
  if (EqualsIgnoreAsciiCase(charset, "utf-8")) {
    if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
    return ConvertToUtf8(bytes, "UTF-8");
  }
  return ConvertToUtf8(bytes, "CP936");
}

}  // namespace Code
