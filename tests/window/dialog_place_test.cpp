#include "window/dialog_place.h"

#include <gtest/gtest.h>

namespace window {
namespace {

TEST(DialogPlaceTest, BesideThePanelAndOnTheScreenAsFarAsItFits) {
  constexpr PixelRect kScreen{0, 0, 1920, 1080};
  // A dialog of 200 × 120 beside a panel of 350 × 80.
  const struct {
    PixelRect panel;
    PixelRect screen;
    int x;
    int y;
  } cases[] = {
      {{100, 100, 450, 180}, kScreen, 100, 187},        // below it
      {{100, 1000, 450, 1080}, kScreen, 100, 872},      // above it at the bottom
      {{1800, 100, 2150, 180}, kScreen, 1719, 187},     // pulled in from the right
      {{0, 100, 350, 180}, {0, 0, 150, 1080}, 0, 187},  // a screen narrower than the dialog
      {{0, 10, 350, 90}, {0, 0, 1920, 100}, 0, 0},      // and one shorter
  };
  for (const auto& each : cases) {
    const PixelPoint at = DialogPlace(each.panel, each.screen, 200, 120);
    EXPECT_EQ(at.x, each.x) << each.panel.left << ',' << each.screen.right;
    EXPECT_EQ(at.y, each.y) << each.panel.top << ',' << each.screen.bottom;
  }
}

}  // namespace
}  // namespace window
