#include "quotes/refresh_time.h"

#include <stdexcept>
#include <string>

namespace quotes {
namespace {

const RefreshChoice* LookUp(std::string_view text) {
  for (const RefreshChoice& row : kRefreshChoices) {
    if (row.choice == text) return &row;
  }
  return nullptr;
}

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
