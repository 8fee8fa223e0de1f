#pragma once

// Where a small dialog of the panel opens: beside the panel rather than under it, since the
// panel stays above other windows.

#include "window/docking.h"

namespace window {

// Rows between the panel's last row and the dialog's first.
inline constexpr int kDialogGapPixels = 8;

// The dialog's top-left corner for a dialog of `width` × `height` pixels: left-aligned with the
// panel, below it where the screen has room, else above it; kept on the screen's usable area
// as far as it fits there.
PixelPoint DialogPlace(PixelRect panel, PixelRect screen, int width, int height);

}  // namespace window
