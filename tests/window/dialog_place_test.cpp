#include "window/dialog_place.h"

#include <gtest/gtest.h>

#include <ostream>
#include <string>

namespace window {
namespace {

struct Placing {
  const char* name;
  PixelRect panel;
  PixelRect screen;
  PixelPoint expected;
};

void PrintTo(const Placing& placing, std::ostream* out) { *out << placing.name; }

class DialogPlaceTest : public testing::TestWithParam<Placing> {};

// A dialog of 200 × 120 beside a panel of 350 × 80.
TEST_P(DialogPlaceTest, BesideThePanelAndOnTheScreenAsFarAsItFits) {
  const PixelPoint at = DialogPlace(GetParam().panel, GetParam().screen, 200, 120);
  EXPECT_EQ(at.x, GetParam().expected.x);
  EXPECT_EQ(at.y, GetParam().expected.y);
}

constexpr PixelRect kScreen{0, 0, 1920, 1080};

INSTANTIATE_TEST_SUITE_P(
    Screens, DialogPlaceTest,
    testing::Values(Placing{"RoomBelow", {100, 100, 450, 180}, kScreen, {100, 187}},
                    Placing{"AboveAtTheBottom", {100, 1000, 450, 1080}, kScreen, {100, 872}},
                    Placing{"PulledInFromTheRight", {1800, 100, 2150, 180}, kScreen, {1719, 187}},
                    Placing{
                        "RightMonitor", {1900, 100, 2250, 180}, {1920, 0, 3840, 1080}, {1920, 187}},
                    // Narrower or shorter than the dialog: its top-left corner shows.
                    Placing{"NarrowScreen", {0, 100, 350, 180}, {0, 0, 150, 1080}, {0, 187}},
                    Placing{"ShortScreen", {0, 10, 350, 90}, {0, 0, 1920, 100}, {0, 0}}),
    [](const testing::TestParamInfo<Placing>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace window
