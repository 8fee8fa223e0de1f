#pragma once

// Edge docking and auto-hide: one tick's decision. An unlocked panel left at the top, left or
// right edge of the screen hides there, leaving a thin strip, while the pointer is away, and
// comes back in full when the pointer touches the strip. The units are mixed on purpose:
// the pointer and the window's rectangle in screen pixels, its place and size and the
// screen's width in twips.

#include <optional>

namespace window {

inline constexpr int kEdgeDistancePixels = 4;  // top and left: at the edge within this
inline constexpr int kRightMarginTwips = 4;    // right: at the edge within this
inline constexpr int kStripTwips = 50;         // what a hidden panel leaves on screen
inline constexpr int kOverlapTwips = 10;       // how far a shown docked panel sticks out

struct PixelPoint {
  int x = 0;
  int y = 0;
};

// The window's outer rectangle; right and bottom lie just past its last pixel.
struct PixelRect {
  int left = 0;
  int top = 0;
  int right = 0;
  int bottom = 0;
};

struct DockInputs {
  bool locked = false;
  bool minimized = false;
  PixelPoint pointer;
  PixelRect rect;
  int left = 0;  // twips
  int top = 0;
  int width = 0;
  int height = 0;
  int screen_width = 0;  // twips, the primary screen's
};

// One coordinate set to a new value in twips; the other stays as it is.
struct DockMove {
  enum class Coordinate { kLeft, kTop } coordinate;
  int twips;
  bool operator==(const DockMove&) const = default;
};

// True when the pointer lies strictly inside the rectangle: its first row and column are out.
bool PointerInside(PixelPoint pointer, PixelRect rect);

// True when the panel is at or past the top, left or right edge, the only places where the
// pointer can make a tick move it: elsewhere the tick need not even ask where the pointer is.
bool AtOrPastAnEdge(const DockInputs& in);

// What one tick does: nothing while locked or minimized; with the pointer inside, a panel
// past the top, left or right edge comes back to overlap it by 10 twips; with the pointer
// outside, a panel at the top, left or right edge hides to a 50-twip strip. The first case
// that holds wins, the top edge first. nullopt: nothing moves.
std::optional<DockMove> DockStep(const DockInputs& in);

}  // namespace window
