#pragma once

#include <string>

namespace Code {

// Writes `value` (finite) in the general number-to-text form: at most 15 significant digits,
// never an exponent, trailing fraction zeros and a bare point dropped, '.' as the separator
// whatever the process locale says.
std::string FormatCacheBustingNumber(double value);

// A fresh number for the "r=" query key: re-seeds from the clock, draws R in [0, 1) in single
// precision and writes R * 1e9 + 1, typically nine integer digits and six fraction digits.
std::string NewCacheBustingNumber();

}  // namespace Code
