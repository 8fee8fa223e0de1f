#include "quotes/refresh_time.h"

#include <gtest/gtest.h>

#include <set>
#include <stdexcept>
#include <string>

#include "settings/settings_schema.h"

namespace quotes {
namespace {

std::string Normalised(std::string_view text) {
  return settings::Normalised(settings::Key::kRefreshTime, text);
}

// The choices themselves read back in the test below.
TEST(RefreshTimeTest, OnlyTheThreeExactChoicesSurvive) {
  const std::string_view invalid[] = {"",
                                      "05",
                                      "03",
                                      " 5",
                                      "5 ",
                                      "7",
                                      "1",
                                      "0",
                                      "3.0",
                                      "10.",
                                      "+3",
                                      "-5",
                                      "１０",
                                      std::string_view("3\0", 2),
                                      "Menu_Speed_Quick"};
  for (std::string_view text : invalid) {
    SCOPED_TRACE(testing::PrintToString(text));
    EXPECT_EQ(Normalised(text), "5");
  }
}

// Each stored choice reads back to itself and its row; the interval is its seconds, and the menu
// runs from the quickest to the slowest, one item per choice.
TEST(RefreshTimeTest, EveryChoiceReadsBackToItselfWithItsSecondsAsInterval) {
  std::set<std::string_view> items;
  int previous = 0;
  for (const RefreshChoice& row : kRefreshChoices) {
    SCOPED_TRACE(std::string(row.choice));
    EXPECT_EQ(Normalised(row.choice), row.choice);
    EXPECT_EQ(&FindRefreshChoice(row.choice), &row);
    EXPECT_EQ(RefreshIntervalMs(row.choice), std::stoi(std::string(row.choice)) * 1000);
    EXPECT_EQ(RefreshMenuItem(row.choice), row.menu_item);
    EXPECT_GT(row.interval_ms, previous);
    previous = row.interval_ms;
    EXPECT_TRUE(items.insert(row.menu_item).second) << row.menu_item;
  }
  EXPECT_EQ(RefreshMenuItem(settings::RuleOf(settings::Key::kRefreshTime).fallback),
            "Menu_Speed_Normal");
}

TEST(RefreshTimeTest, UnnormalisedChoiceIsACallersBug) {
  EXPECT_THROW(RefreshIntervalMs("05"), std::invalid_argument);
  EXPECT_THROW(RefreshMenuItem(""), std::invalid_argument);
  EXPECT_THROW(FindRefreshChoice("7"), std::invalid_argument);
}

}  // namespace
}  // namespace quotes
