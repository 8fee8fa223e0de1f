#pragma once

// Opens a small window of the panel beside it rather than under it, since the panel stays above
// other windows (window/dialog_place.h decides where).

class QWidget;

namespace shell {

// Moves `window`, already at its size, to its place beside `panel` on the panel's screen.
void PlaceBesidePanel(const QWidget& panel, QWidget& window);

}  // namespace shell
