#pragma once

// The position lock and the window's opacity: which texts lock, which percentages exist and
// what alpha the window takes. The panel applies the answers.

#include <array>
#include <optional>
#include <string_view>

namespace window {

// What a lock text asks for: true to lock, false to unlock, nullopt for any other text (which
// changes nothing). Letter case does not matter.
std::optional<bool> ParseLockString(std::string_view lock_string);

// The seven opacity choices of the menu, from the top: percentage and the item that carries it.
struct OpacityChoice {
  int percent;
  std::string_view menu_item;
};
inline constexpr std::array<OpacityChoice, 7> kOpacityChoices = {{
    {80, "Menu_Transparent_80"},
    {70, "Menu_Transparent_70"},
    {60, "Menu_Transparent_60"},
    {50, "Menu_Transparent_50"},
    {40, "Menu_Transparent_40"},
    {30, "Menu_Transparent_30"},
    {20, "Menu_Transparent_20"},
}};

inline constexpr int kOpaqueAlpha = 255;

// The alpha of a percentage of opacity: percent × 255 / 100, rounded down, within 0..255.
int AlphaOfPercent(int percent);

// The alpha the window takes now: the chosen one only while locked, fully opaque otherwise.
int AlphaNow(int percent, bool locked);

}  // namespace window
