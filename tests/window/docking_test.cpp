// One tick of the docking rule, for a 350 x 80 panel on a 1280-pixel primary screen.

#include "window/docking.h"

#include <gtest/gtest.h>

#include <optional>
#include <utility>

namespace {

using window::DockInputs;
using window::DockMove;
using Coordinate = DockMove::Coordinate;

constexpr int kTwips = 15;
constexpr int kScreen = 1280 * kTwips;

// The panel at a place in twips, its rectangle as the window system reports it, and the
// pointer at a screen pixel.
DockInputs At(int left, int top, int pointer_x, int pointer_y) {
  DockInputs in;
  in.left = left;
  in.top = top;
  in.width = 350 * kTwips;
  in.height = 80 * kTwips;
  in.screen_width = kScreen;
  const int x = left / kTwips;
  const int y = top / kTwips;
  in.rect = {x, y, x + 350, y + 80};
  in.pointer = {pointer_x, pointer_y};
  return in;
}

constexpr int kAway = 1000;  // a pointer row far below any panel here

TEST(DockingTest, TopEdgeHidesToAStripAndComesBack) {
  // Dropped 2 px below the top: hides upwards, 50 twips left on screen.
  EXPECT_EQ(window::DockStep(At(6000, 30, 500, kAway)), (DockMove{Coordinate::kTop, -1150}));
  // Above the edge counts as well.
  EXPECT_EQ(window::DockStep(At(6000, -600, 500, kAway)), (DockMove{Coordinate::kTop, -1150}));
  // Hidden (rectangle -77..3): the pointer on the strip brings it down, overlapping by 10.
  EXPECT_EQ(window::DockStep(At(6000, -1150, 500, 1)), (DockMove{Coordinate::kTop, -10}));
  // Shown and left again: hides again, every tick the same value.
  EXPECT_EQ(window::DockStep(At(6000, -10, 500, kAway)), (DockMove{Coordinate::kTop, -1150}));
  EXPECT_EQ(window::DockStep(At(6000, -1150, 500, kAway)), (DockMove{Coordinate::kTop, -1150}));
}

TEST(DockingTest, LeftAndRightEdgesHideSideways) {
  EXPECT_EQ(window::DockStep(At(45, 4500, kAway, kAway)), (DockMove{Coordinate::kLeft, -5200}));
  EXPECT_EQ(window::DockStep(At(-5200, 4500, 1, 320)), (DockMove{Coordinate::kLeft, -10}));
  // Right: within 4 twips of the edge hides; 5 twips away does not.
  const int at_edge = kScreen - 4 - 350 * kTwips;
  EXPECT_EQ(window::DockStep(At(at_edge, 4500, 100, kAway)),
            (DockMove{Coordinate::kLeft, kScreen - 50}));
  EXPECT_EQ(window::DockStep(At(at_edge - 1, 4500, 100, kAway)), std::nullopt);
  // Hidden at the right (rectangle 1276..1626): the strip brings it back 10 twips past.
  EXPECT_EQ(window::DockStep(At(kScreen - 50, 4500, 1278, 320)),
            (DockMove{Coordinate::kLeft, kScreen - 350 * kTwips + 10}));
  // Flush with the right edge and pointed at: out by the overlap as well.
  EXPECT_EQ(window::DockStep(At(kScreen - 350 * kTwips, 4500, 1100, 320)),
            (DockMove{Coordinate::kLeft, kScreen - 350 * kTwips + 10}));
}

TEST(DockingTest, WhichEdgeWinsAndWhatNeverHides) {
  // The top-left corner hides upwards.
  EXPECT_EQ(window::DockStep(At(0, 0, kAway, kAway)), (DockMove{Coordinate::kTop, -1150}));
  // 5 px from the top and the left, well clear of the right: nothing, pointer in or out.
  EXPECT_EQ(window::DockStep(At(75, 75, kAway, kAway)), std::nullopt);
  EXPECT_EQ(window::DockStep(At(75, 75, 100, 40)), std::nullopt);
  // Partly off the top and the left with the pointer on it: Top wins, Left stays negative.
  EXPECT_EQ(window::DockStep(At(-600, -300, 10, 10)), (DockMove{Coordinate::kTop, -10}));
  EXPECT_EQ(window::DockStep(At(-600, -10, 10, 10)), (DockMove{Coordinate::kTop, -10}));
  // Partly off the left only: pulled back to overlap by 10.
  EXPECT_EQ(window::DockStep(At(-600, 4500, 10, 320)), (DockMove{Coordinate::kLeft, -10}));
}

TEST(DockingTest, TheFirstRowAndColumnAreOutside) {
  // A panel at (100, 100) px: its rectangle is 100..450 x 100..180.
  EXPECT_FALSE(window::PointerInside({100, 140}, {100, 100, 450, 180}));
  EXPECT_FALSE(window::PointerInside({200, 100}, {100, 100, 450, 180}));
  EXPECT_FALSE(window::PointerInside({450, 140}, {100, 100, 450, 180}));
  EXPECT_TRUE(window::PointerInside({101, 101}, {100, 100, 450, 180}));
  EXPECT_TRUE(window::PointerInside({449, 179}, {100, 100, 450, 180}));
  // So a pointer on the top row of a panel flush with the edge lets it hide.
  EXPECT_EQ(window::DockStep(At(6000, 0, 500, 0)), (DockMove{Coordinate::kTop, -1150}));
}

// Wherever the panel is not at or past an edge, no pointer position moves it: the tick may skip
// asking for the pointer there, and must not skip it anywhere else.
TEST(DockingTest, ThePointerMattersOnlyAtTheEdges) {
  for (int left = -6000; left <= kScreen; left += 150) {
    for (int top = -1500; top <= 3000; top += 75) {
      bool moves_somewhere = false;
      for (const window::PixelPoint pointer :
           {window::PixelPoint{kAway, kAway},
            window::PixelPoint{left / kTwips + 100, top / kTwips + 40}}) {
        moves_somewhere |= window::DockStep(At(left, top, pointer.x, pointer.y)).has_value();
      }
      EXPECT_EQ(window::AtOrPastAnEdge(At(left, top, 0, 0)), moves_somewhere) << left << "," << top;
    }
  }
}

// The distance from the top and the left is inclusive: 4 px still hides (5 px is clear).
TEST(DockingTest, FourPixelsFromTheTopOrTheLeftIsAtTheEdge) {
  EXPECT_EQ(window::DockStep(At(6000, 60, 500, kAway)), (DockMove{Coordinate::kTop, -1150}));
  EXPECT_EQ(window::DockStep(At(60, 4500, kAway, kAway)), (DockMove{Coordinate::kLeft, -5200}));
}

// A stored place need not be a whole pixel: twip by twip across each edge, the shortcut never
// skips a tick the rule would act on, and the right edge hides from 4 twips short onwards.
TEST(DockingTest, TheShortcutAgreesWithTheRuleOnEveryTwip) {
  const int flush_right = kScreen - 350 * kTwips;
  for (int offset = -150; offset <= 150; ++offset) {
    for (const DockInputs& in : {At(6000, offset, 500, kAway), At(offset, 4500, kAway, kAway),
                                 At(flush_right + offset, 4500, 100, kAway)}) {
      EXPECT_TRUE(!window::DockStep(in) || window::AtOrPastAnEdge(in)) << in.left << "," << in.top;
    }
    EXPECT_EQ(window::DockStep(At(flush_right + offset, 4500, 100, kAway)).has_value(),
              offset >= -4)
        << offset;
  }
}

// Minimised, a panel at or past any edge stays put wherever the pointer goes.
TEST(DockingTest, AMinimizedPanelStaysPutWhateverThePointerDoes) {
  const int right = kScreen - 350 * kTwips;
  const std::pair<int, int> places[] = {{6000, 30},    {6000, -1150}, {45, 4500},
                                        {-5200, 4500}, {right, 4500}, {kScreen - 50, 4500}};
  for (const auto& [left, top] : places) {
    bool moves_unless_minimized = false;
    for (int x = 0; x <= 1280; x += 2) {
      for (int y = 0; y <= 600; y += 2) {
        DockInputs in = At(left, top, x, y);
        moves_unless_minimized |= window::DockStep(in).has_value();
        in.minimized = true;
        ASSERT_EQ(window::DockStep(in), std::nullopt) << left << "," << top << " " << x << "," << y;
      }
    }
    EXPECT_TRUE(moves_unless_minimized) << left << "," << top;
  }
}

TEST(DockingTest, LockedOrMinimizedNeverMoves) {
  for (const bool locked : {false, true}) {
    DockInputs in = At(6000, -1150, 500, 1);
    in.locked = locked;
    in.minimized = !locked;
    EXPECT_EQ(window::DockStep(in), std::nullopt);
    in = At(6000, 30, 500, kAway);
    in.locked = locked;
    in.minimized = !locked;
    EXPECT_EQ(window::DockStep(in), std::nullopt);
  }
}

}  // namespace
