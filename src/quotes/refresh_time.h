#pragma once

#include <array>
#include <string_view>

namespace quotes {

// One refresh speed of the Menu_Speed submenu.
struct RefreshChoice {
  std::string_view choice;     // stored under RefreshTime and held in RefreshTimeValue
  std::string_view menu_item;  // objectName of the menu action
  int interval_ms;             // PriceTimer interval
};

// Menu order, which is also the order the check marks are set in.
inline constexpr std::array<RefreshChoice, 3> kRefreshChoices = {{
    {"3", "Menu_Speed_Quick", 3000},
    {"5", "Menu_Speed_Normal", 5000},
    {"10", "Menu_Speed_Slow", 10000},
}};

// The row of a choice normalised by settings::Normalised(Key::kRefreshTime, ...). Any other text is
// a caller's bug and throws std::invalid_argument.
const RefreshChoice& FindRefreshChoice(std::string_view choice);

// 3000, 5000 or 10000 for a normalised choice (throws like FindRefreshChoice).
int RefreshIntervalMs(std::string_view choice);

// "Menu_Speed_Quick", "Menu_Speed_Normal" or "Menu_Speed_Slow" (throws like FindRefreshChoice).
std::string_view RefreshMenuItem(std::string_view choice);

}  // namespace quotes
