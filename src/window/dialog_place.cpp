#include "window/dialog_place.h"

#include <algorithm>

namespace window {

PixelPoint DialogPlace(PixelRect panel, PixelRect screen, int width, int height) {
  // Reckoned from the last row and column, as the toolkit numbers them.
  const int below = panel.bottom - 1 + kDialogGapPixels;
  const int top =
      below + height <= screen.bottom - 1 ? below : panel.top - kDialogGapPixels - height;
  // Not std::clamp: on a screen narrower than the dialog its bounds cross. The left edge wins
  // there, as the top does on a screen too short for it.
  return {std::max(screen.left, std::min(panel.left, screen.right - 1 - width)),
          std::max(screen.top, top)};
}

}  // namespace window
