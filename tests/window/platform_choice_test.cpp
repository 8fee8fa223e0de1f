#include "window/platform_choice.h"

#include <gtest/gtest.h>

namespace {

TEST(PlatformChoiceTest, WaylandWithXWaylandRunsOnX11UnlessTheUserChose) {
  EXPECT_TRUE(window::PreferX11({"wayland-0", "", ":0", ""}));
  EXPECT_TRUE(window::PreferX11({"", "Wayland", ":1", ""}));
  // No X server to go to, a plain X11 session, or the user's own choice: left alone.
  EXPECT_FALSE(window::PreferX11({"wayland-0", "wayland", "", ""}));
  EXPECT_FALSE(window::PreferX11({"", "x11", ":0", ""}));
  EXPECT_FALSE(window::PreferX11({"wayland-0", "wayland", ":0", "wayland"}));
}

}  // namespace
