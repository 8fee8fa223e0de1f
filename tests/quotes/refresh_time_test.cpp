#include "quotes/refresh_time.h"

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

namespace quotes {
namespace {

TEST(RefreshTimeTest, OnlyTheThreeExactChoicesSurvive) {
  EXPECT_EQ(NormaliseRefreshTime("3"), "3");
  EXPECT_EQ(NormaliseRefreshTime("5"), "5");
  EXPECT_EQ(NormaliseRefreshTime("10"), "10");
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
    EXPECT_EQ(NormaliseRefreshTime(text), "5");
  }
}

TEST(RefreshTimeTest, ChoicesGiveTheirIntervalAndMenuItemInMenuOrder) {
  EXPECT_EQ(RefreshIntervalMs("3"), 3000);
  EXPECT_EQ(RefreshIntervalMs("5"), 5000);
  EXPECT_EQ(RefreshIntervalMs("10"), 10000);
  EXPECT_EQ(RefreshMenuItem("3"), "Menu_Speed_Quick");
  EXPECT_EQ(RefreshMenuItem("5"), "Menu_Speed_Normal");
  EXPECT_EQ(RefreshMenuItem("10"), "Menu_Speed_Slow");
  // Check marks are set quick, normal, slow.
  ASSERT_EQ(kRefreshChoices.size(), 3U);
  EXPECT_EQ(kRefreshChoices[0].menu_item, "Menu_Speed_Quick");
  EXPECT_EQ(kRefreshChoices[1].menu_item, "Menu_Speed_Normal");
  EXPECT_EQ(kRefreshChoices[2].menu_item, "Menu_Speed_Slow");
  // Every normalised text has a row.
  for (const char* text : {"", "7", "3", "10"}) {
    EXPECT_NO_THROW(FindRefreshChoice(NormaliseRefreshTime(text)));
  }
}

TEST(RefreshTimeTest, UnnormalisedChoiceIsACallersBug) {
  EXPECT_THROW(RefreshIntervalMs("05"), std::invalid_argument);
  EXPECT_THROW(RefreshMenuItem(""), std::invalid_argument);
  EXPECT_THROW(FindRefreshChoice("7"), std::invalid_argument);
}

}  // namespace
}  // namespace quotes
