// Reply bodies come from the server in the charset it names: whatever the bytes and the name,
// the text handed on must be valid UTF-8.

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "net/bytes_to_text.h"
#include "text/ascii_case.h"

namespace {

// The names the program passes, other spellings, and names of charsets it does not decode.
constexpr std::array<std::string_view, 10> kCharsets = {
    "utf-8", "gb2312", "UTF-8", "Utf-8", "GB2312", "gbk", "", "utf8", "iso-8859-1", "big5",
};

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

bool IsAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

}  // namespace

// Input: one byte choosing the charset (one of the list, or the next field when beyond it),
// then the body, 0 bytes and all.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const std::uint8_t choice = input.TakeByte();
  const std::string charset(choice < kCharsets.size() ? kCharsets[choice] : input.TakeField());
  std::string_view bytes = input.TakeRest();

  const std::string text = Code::BytesToText(bytes, charset);
  LUMETTA_FUZZ_CHECK(fuzz::IsValidUtf8(text));

  if (text::EqualsIgnoreAsciiCase(charset, "utf-8")) {
    if (bytes.starts_with(kByteOrderMark)) bytes.remove_prefix(kByteOrderMark.size());
    // Only bytes that do not decode change; well-formed text passes unchanged.
    if (fuzz::IsValidUtf8(bytes)) LUMETTA_FUZZ_CHECK(text == bytes);
  } else if (IsAscii(bytes)) {
    // The lower half of code page 936 is ASCII.
    LUMETTA_FUZZ_CHECK(text == bytes);
  }
  // Empty text means the converter is missing, which glibc's is not.
  if (!bytes.empty()) LUMETTA_FUZZ_CHECK(!text.empty());
  return 0;
}
