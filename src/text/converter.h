#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

// The one way this program converts between character sets (the C library's iconv), with one
// error policy: nothing throws; a converter the system lacks gives nullopt; input the converter
// rejects or that ends half way through a character is replaced, and conversion goes on.
namespace text {

// How many bytes at the front of `rest` (never empty) the rejected sequence spans. A result of
// 0 or more than rest.size() is taken as 1 and as rest.size().
using SkipRule = std::size_t (*)(std::string_view rest);

// Converts `input` from the charset `from` to `to` (iconv names). Each rejected sequence
// becomes `replacement` (already in the target charset).
std::optional<std::string> Convert(std::string_view input, const char* to, const char* from,
                                   std::string_view replacement, SkipRule skip);

// Length of the well-formed UTF-8 character at the front of `text`, or 0 when it is not one
// (overlong forms, surrogates and values above U+10FFFF included).
std::size_t Utf8CharLength(std::string_view text);

}  // namespace text
