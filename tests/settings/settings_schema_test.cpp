#include "settings/settings_schema.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "quotes/refresh_time.h"
#include "window/lock_and_opacity.h"

namespace {

using settings::Key;

constexpr Key kKeys[] = {Key::kPriceType, Key::kRefreshTime, Key::kLeft,   Key::kTop,
                         Key::kLockState, Key::kTransparent, Key::kAutoRun};

std::set<std::string> Accepted(Key key) {
  std::set<std::string> texts;
  for (const std::string_view text : settings::RuleOf(key).accepted) texts.emplace(text);
  return texts;
}

// A fallback the reader would refuse on the next start would be rewritten at every start.
TEST(SettingsSchemaTest, NamesAreDistinctAndEveryFallbackReadsBackAsItself) {
  std::set<std::string> names;
  for (const Key key : kKeys) {
    const settings::KeyRule& rule = settings::RuleOf(key);
    EXPECT_TRUE(names.emplace(rule.name).second) << rule.name;
    if (rule.accepted.empty()) continue;
    EXPECT_EQ(settings::KeepOrFallback(key, rule.fallback), rule.fallback) << rule.name;
  }
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
  EXPECT_EQ(settings::KeepOrFallback(Key::kLockState, "lOCK"), "lOCK");
  EXPECT_EQ(settings::CanonicalOrFallback(Key::kAutoRun, "tRUE"), "True");
  EXPECT_EQ(settings::KeepOrFallback(Key::kRefreshTime, "10"), "10");
  EXPECT_EQ(settings::KeepOrFallback(Key::kRefreshTime, "1O"), "5");
  EXPECT_EQ(settings::KeepOrFallback(Key::kTransparent, "5O"), "50");
}

}  // namespace
