// The tray tip shows the price record's text: whatever its length and bytes, the tip must fit
// the 127 bytes of GBK that the tip field holds and show the front of the text.

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz_input.h"
#include "text/gbk.h"
#include "text/tray_tip.h"

namespace {

// Two input bytes make one character of the CJK block (U+4E00..U+9FFF), written as UTF-8:
// long Chinese texts, which raw bytes rarely are, meet the cut between two-byte characters.
std::string ChineseText(std::string_view bytes) {
  std::string text;
  for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
    const unsigned pair = static_cast<unsigned char>(bytes[i]) |
                          static_cast<unsigned>(static_cast<unsigned char>(bytes[i + 1])) << 8;
    // An ASCII byte now and then, as real tips mix digits, blanks and line breaks in.
    if ((pair & 0xF000U) == 0xF000U) {
      text += static_cast<char>(pair & 0x7FU);
      continue;
    }
    const unsigned code = 0x4E00U + pair % 0x5200U;
    text += static_cast<char>(0xE0U | (code >> 12));
    text += static_cast<char>(0x80U | ((code >> 6) & 0x3FU));
    text += static_cast<char>(0x80U | (code & 0x3FU));
  }
  return text;
}

}  // namespace

// Input: one byte whose lowest bit chooses raw bytes (0) or Chinese text made of the rest (1),
// then the rest, 0 bytes and all.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const bool chinese = (input.TakeByte() & 1U) != 0;
  const std::string_view rest = input.TakeRest();
  const std::string utf8 = chinese ? ChineseText(rest) : std::string(rest);

  const std::string tip = Tray::TipText(utf8);
  const std::string shown = text::Utf8ToGbk(tip);
  const std::string whole = text::Utf8ToGbk(std::string_view(utf8).substr(0, utf8.find('\0')));
  LUMETTA_FUZZ_CHECK(shown.size() <= Tray::kTipLimitBytes);
  LUMETTA_FUZZ_CHECK(whole.starts_with(shown));
  // Only a two-byte character that would cross the limit is dropped.
  if (whole.size() <= Tray::kTipLimitBytes) {
    LUMETTA_FUZZ_CHECK(shown == whole);
  } else {
    LUMETTA_FUZZ_CHECK(shown.size() + 1 >= Tray::kTipLimitBytes);
  }
  return 0;
}
