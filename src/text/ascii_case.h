#pragma once

#include <string>
#include <string_view>

// Case folding of ASCII letters only, for the protocol and settings texts (methods, charset
// and scheme names, product codes, profile keys). It ignores the process locale on purpose: a
// Turkish or other user locale must not change how "utf-8" or "lock" compares.
namespace text {

char AsciiLower(char c);
std::string AsciiLower(std::string_view text);
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreAsciiCase(std::string_view text, std::string_view prefix);

}  // namespace text
