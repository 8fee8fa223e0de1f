#include "window/lock_and_opacity.h"

#include <gtest/gtest.h>

namespace {

TEST(LockTest, OnlyLockAndUnlockInAnyCaseAreUnderstood) {
  EXPECT_EQ(window::ParseLockString("Lock"), true);
  EXPECT_EQ(window::ParseLockString("LOCK"), true);
  EXPECT_EQ(window::ParseLockString("UnLock"), false);
  EXPECT_EQ(window::ParseLockString("unlock"), false);
  for (const char* other : {"", " lock", "locked", "un lock", "True", "1"}) {
    EXPECT_EQ(window::ParseLockString(other), std::nullopt) << other;
  }
}

TEST(OpacityTest, AlphaIsThePercentageOf255RoundedDown) {
  // 20 % of 255 is exactly 51; the others fall between whole alphas and round down.
  EXPECT_EQ(window::AlphaOfPercent(20), 51);
  EXPECT_EQ(window::AlphaOfPercent(30), 76);   // 76.5
  EXPECT_EQ(window::AlphaOfPercent(50), 127);  // 127.5
  EXPECT_EQ(window::AlphaOfPercent(70), 178);  // 178.5
  EXPECT_EQ(window::AlphaOfPercent(80), 204);
  EXPECT_EQ(window::AlphaOfPercent(100), 255);
  EXPECT_EQ(window::AlphaOfPercent(0), 0);
  EXPECT_EQ(window::AlphaOfPercent(250), 255);
  // Each menu choice gives a visible, not fully opaque window, lighter further down the menu.
  int previous = 256;
  for (const window::OpacityChoice& choice : window::kOpacityChoices) {
    const int alpha = window::AlphaOfPercent(choice.percent);
    EXPECT_GT(alpha, 0);
    EXPECT_LT(alpha, previous) << choice.menu_item;
    previous = alpha;
  }
}

TEST(OpacityTest, OnlyALockedWindowTakesTheChosenAlpha) {
  EXPECT_EQ(window::AlphaNow(20, false), 255);
  EXPECT_EQ(window::AlphaNow(20, true), 51);
  EXPECT_EQ(window::AlphaNow(70, true), 178);
}

}  // namespace
