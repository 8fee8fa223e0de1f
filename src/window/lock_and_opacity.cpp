#include "window/lock_and_opacity.h"

#include <algorithm>

#include "text/ascii_case.h"

namespace window {

std::optional<bool> ParseLockString(std::string_view lock_string) {
  const std::string lower = text::AsciiLower(lock_string);
  if (lower == "lock") return true;
  if (lower == "unlock") return false;
  return std::nullopt;
}

int AlphaOfPercent(int percent) { return std::clamp(percent, 0, 100) * kOpaqueAlpha / 100; }

int AlphaNow(int percent, bool locked) { return locked ? AlphaOfPercent(percent) : kOpaqueAlpha; }

}  // namespace window
