#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace Tray {

// The tip field holds 128 bytes of code page 936 text including the terminating NUL.
inline constexpr std::size_t kTipLimitBytes = 127;

// UTF-8 to code page 936 (GBK). A character GBK cannot encode becomes one '?', as the
// ANSI conversion of the tray record does; so does each byte of malformed UTF-8.
std::string Utf8ToGbk(std::string_view utf8);

// Code page 936 to UTF-8. Each byte that does not start a valid GBK character becomes '?'.
std::string GbkToUtf8(std::string_view gbk);

// The text the tray tip really shows for `utf8_text`: up to the first NUL, encoded in GBK,
// cut to 127 bytes without leaving half a two-byte character, and decoded again. CR and LF
// are kept; they show as separate tip lines.
std::string TipText(std::string_view utf8_text);

}  // namespace Tray
