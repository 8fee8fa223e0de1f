#pragma once

#include <string_view>
#include <vector>

namespace text {

// Splits at every occurrence of `separator` (exact bytes), keeping empty pieces: n separators
// give n + 1 pieces, the text after the last one included.
std::vector<std::string_view> SplitAll(std::string_view text, std::string_view separator);

}  // namespace text
