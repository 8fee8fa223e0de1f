#include "window/docking.h"

namespace window {

bool PointerInside(PixelPoint pointer, PixelRect rect) {
  return rect.left < pointer.x && pointer.x < rect.right && rect.top < pointer.y &&
         pointer.y < rect.bottom;
}

bool AtOrPastAnEdge(const DockInputs& in) {
  return in.top < 0 || in.left < 0 || in.rect.top <= kEdgeDistancePixels ||
         in.rect.left <= kEdgeDistancePixels ||
         in.left + in.width >= in.screen_width - kRightMarginTwips;
}

std::optional<DockMove> DockStep(const DockInputs& in) {
  using Coordinate = DockMove::Coordinate;
  if (in.locked || in.minimized) return std::nullopt;
  if (PointerInside(in.pointer, in.rect)) {
    if (in.top < 0) return DockMove{Coordinate::kTop, -kOverlapTwips};
    if (in.left < 0) return DockMove{Coordinate::kLeft, -kOverlapTwips};
    if (in.left + in.width >= in.screen_width) {
      return DockMove{Coordinate::kLeft, in.screen_width - in.width + kOverlapTwips};
    }
    return std::nullopt;
  }
  if (in.rect.top <= kEdgeDistancePixels)
    return DockMove{Coordinate::kTop, kStripTwips - in.height};
  if (in.rect.left <= kEdgeDistancePixels) {
    return DockMove{Coordinate::kLeft, kStripTwips - in.width};
  }
  if (in.left + in.width >= in.screen_width - kRightMarginTwips) {
    return DockMove{Coordinate::kLeft, in.screen_width - kStripTwips};
  }
  return std::nullopt;
}

}  // namespace window
