#pragma once

#include <string>
#include <string_view>

namespace Code {

// Case folding for protocol texts (method, charset and scheme names). It ignores the process
// locale on purpose: a Turkish or other user locale must not change how "utf-8" compares.
std::string AsciiLower(std::string_view text);
bool EqualsIgnoreAsciiCase(std::string_view a, std::string_view b);
bool StartsWithIgnoreAsciiCase(std::string_view text, std::string_view prefix);

}  // namespace Code
