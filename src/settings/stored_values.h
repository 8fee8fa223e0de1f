#pragma once

// Start-up's reading of stored settings: what each stored text turns into before the
// owning method applies it. Plain functions so the rules can be checked without a window.

#include <optional>
#include <string>
#include <string_view>

namespace settings {

inline constexpr std::string_view kSettingsFileName = "System.ini";

// The settings file next to the program. A directory that already ends in a separator
// (the file-system root) takes the name directly.
std::string SettingsFilePath(std::string_view program_dir);

// The largest window coordinate X11 can hold, 32767 pixels, in twips.
inline constexpr int kMaxPositionTwips = 32767 * 15;
// Twips of the stored window position, only when both texts are numbers whose integer
// parts (rounded down) are positive and within what a window system can place.
struct TwipsPosition {
  int left = 0;
  int top = 0;
};
std::optional<TwipsPosition> ReadStoredPosition(std::string_view left, std::string_view top);

// The opacity percentage to apply: the stored Transparent text normalised, as a number.
int ReadStoredTransparent(std::string_view stored);

// The text of a single-precision number, as the position is saved ("7200", "-15", "1234.5").
std::string FormatSingle(float value);

}  // namespace settings
