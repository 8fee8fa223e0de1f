#include "settings/settings_schema.h"

#include <gtest/gtest.h>

#include <string_view>

namespace {

using settings::Key;
using settings::Normalised;

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
