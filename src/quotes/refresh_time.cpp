#include "quotes/refresh_time.h"

#include <stdexcept>
#include <string>

#include "settings/settings_schema.h"

namespace quotes {
namespace {

constexpr const RefreshChoice* LookUp(std::string_view text) {
  for (const RefreshChoice& row : kRefreshChoices) {
    if (row.choice == text) return &row;
  }
  return nullptr;
}

// The menu offers exactly the texts the settings accept: a choice they refused would be lost at
// the next start, a stored text no item offers would leave every mark off.
constexpr bool ChoicesAreTheAcceptedTexts() {
  using settings::Key;
  if (kRefreshChoices.size() != settings::RuleOf(Key::kRefreshTime).accepted.size()) return false;
  for (const RefreshChoice& row : kRefreshChoices) {
    if (!settings::IsListed(Key::kRefreshTime, row.choice)) return false;
  }
  // By text, not through LookUp: the address sanitizer's build takes no pointer comparison
  // as constant.
  for (const std::string_view accepted : settings::RuleOf(Key::kRefreshTime).accepted) {
    bool offered = false;
    for (const RefreshChoice& row : kRefreshChoices) offered = offered || row.choice == accepted;
    if (!offered) return false;
  }
  return true;
}
static_assert(ChoicesAreTheAcceptedTexts(), "the refresh menu and RefreshTime's texts differ");

}  // namespace

const RefreshChoice& FindRefreshChoice(std::string_view choice) {
  const RefreshChoice* row = LookUp(choice);
  if (row == nullptr) {
    throw std::invalid_argument("refresh choice not normalised: \"" + std::string(choice) + "\"");
  }
  return *row;
}

int RefreshIntervalMs(std::string_view choice) { return FindRefreshChoice(choice).interval_ms; }

std::string_view RefreshMenuItem(std::string_view choice) {
  return FindRefreshChoice(choice).menu_item;
}

}  // namespace quotes
