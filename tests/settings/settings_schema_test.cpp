#include "settings/settings_schema.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <string_view>

#include "quotes/refresh_time.h"
#include "window/lock_and_opacity.h"

namespace {

using settings::Key;
using settings::Normalised;

std::set<std::string> Accepted(Key key) {
  std::set<std::string> texts;
  for (const std::string_view text : settings::RuleOf(key).accepted) texts.emplace(text);
  return texts;
}

// A menu choice that the settings refuse would be lost at the next start; a stored text that
// no menu item offers would leave every mark off.
TEST(SettingsSchemaTest, TheMenusOfferExactlyTheAcceptedTexts) {
  std::set<std::string> refresh;
  for (const auto& choice : quotes::kRefreshChoices) refresh.emplace(choice.choice);
  EXPECT_EQ(refresh, Accepted(Key::kRefreshTime));
  std::set<std::string> opacity;
  for (const auto& choice : window::kOpacityChoices) opacity.insert(std::to_string(choice.percent));
  EXPECT_EQ(opacity, Accepted(Key::kTransparent));
}

// A state in any case is passed on to the lock call as stored; anything else unlocks.
TEST(SettingsSchemaTest, LockStateKeepsTheStoredSpellingOfAnAcceptedState) {
  for (const std::string_view state : {"LOCK", "lOCK", "unlock", "UnLock"}) {
    EXPECT_EQ(Normalised(Key::kLockState, state), state);
  }
  for (const std::string_view other : {"", "locked", "True", " Lock"}) {
    EXPECT_EQ(Normalised(Key::kLockState, other), "UnLock") << other;
  }
}

// "true" in any case is on and is written back in the list's spelling; anything else is off,
// a text that only begins with "true" included.
TEST(SettingsSchemaTest, AutoRunTakesTheListsSpellingAndIsOnOnlyForTrue) {
  for (const std::string_view on : {"TRUE", "true", "tRuE", "True"}) {
    EXPECT_EQ(Normalised(Key::kAutoRun, on), "True") << on;
  }
  for (const std::string_view off :
       {"yes", "", "false ", " true", "FALSE", "1", "true ", "trueish", "TRUEx", "truetrue"}) {
    EXPECT_EQ(Normalised(Key::kAutoRun, off), "False") << off;
  }
}

// Numbers match exactly; positions and product codes are read by their owners as stored.
TEST(SettingsSchemaTest, NumbersMatchExactlyAndOwnersReadTheRest) {
  EXPECT_EQ(Normalised(Key::kTransparent, "80"), "80");
  EXPECT_EQ(Normalised(Key::kTransparent, "5O"), "50");
  EXPECT_EQ(Normalised(Key::kRefreshTime, "1O"), "5");
  EXPECT_EQ(Normalised(Key::kLeft, "+7200.5"), "+7200.5");
  EXPECT_EQ(Normalised(Key::kPriceType, "nonsense"), "nonsense");
}

}  // namespace
