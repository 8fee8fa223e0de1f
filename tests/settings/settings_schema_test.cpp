#include "settings/settings_schema.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "quotes/refresh_time.h"
#include "window/lock_and_opacity.h"

namespace {

using settings::Key;

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

TEST(SettingsSchemaTest, CaseIsIgnoredOnlyWhereTheKeySaysSo) {
  EXPECT_EQ(settings::Normalised(Key::kLockState, "lOCK"), "lOCK");
  EXPECT_EQ(settings::Normalised(Key::kAutoRun, "tRUE"), "True");
  EXPECT_EQ(settings::Normalised(Key::kRefreshTime, "10"), "10");
  EXPECT_EQ(settings::Normalised(Key::kRefreshTime, "1O"), "5");
  EXPECT_EQ(settings::Normalised(Key::kTransparent, "5O"), "50");
  // Positions and product codes are read by their owners as stored.
  EXPECT_EQ(settings::Normalised(Key::kLeft, "+7200.5"), "+7200.5");
  EXPECT_EQ(settings::Normalised(Key::kPriceType, "nonsense"), "nonsense");
}

}  // namespace
