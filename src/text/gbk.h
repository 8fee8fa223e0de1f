#pragma once

#include <string>
#include <string_view>

// Code page 936 (GBK), the encoding of the server's replies and of the tray record's tip.
namespace text {

// UTF-8 to GBK. A character GBK cannot encode becomes one '?', as the ANSI conversion of
// Windows does; so does each byte of malformed UTF-8. Empty when the system has no converter.
std::string Utf8ToGbk(std::string_view utf8);

// GBK to UTF-8. Each byte that does not start a valid GBK character becomes `replacement`.
// Empty when the system has no converter.
std::string GbkToUtf8(std::string_view gbk, std::string_view replacement = "?");

}  // namespace text
