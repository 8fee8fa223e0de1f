#include "text/tray_tip.h"

#include "text/gbk.h"

namespace Tray {
namespace {

// In GBK a byte from 0x81 to 0xFE leads a two-byte character; every other byte stands alone.
bool IsGbkLeadByte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return b >= 0x81 && b <= 0xFE;
}

}  // namespace

std::string TipText(std::string_view utf8_text) {
  // The record's tip field is NUL-terminated: nothing after a NUL can show.
  const std::size_t nul = utf8_text.find('\0');
  if (nul != std::string_view::npos) utf8_text = utf8_text.substr(0, nul);

  const std::string gbk = text::Utf8ToGbk(utf8_text);
  std::size_t kept = 0;
  while (kept < gbk.size()) {
    const std::size_t length = IsGbkLeadByte(gbk[kept]) ? 2 : 1;
    if (kept + length > kTipLimitBytes) break;  // a character cut in half is dropped
    kept += length;
  }
  return text::GbkToUtf8(std::string_view(gbk).substr(0, kept));
}

}  // namespace Tray
