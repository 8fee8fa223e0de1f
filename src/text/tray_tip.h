#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Tray {

// The tip field holds 128 bytes of code page 936 text including the terminating NUL.
inline constexpr std::size_t kTipLimitBytes = 127;

// The text the tray tip really shows for `utf8_text`: up to the first NUL, encoded in GBK,
// cut to 127 bytes without leaving half a two-byte character, and decoded again. CR and LF
// are kept; they show as separate tip lines.
std::string TipText(std::string_view utf8_text);

}  // namespace Tray
