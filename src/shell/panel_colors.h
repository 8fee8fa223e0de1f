#pragma once

// The panel's text colours beside the system's own button-text colour: a rise and a fall of
// the price, the stale sign, and the headline under the pointer.

#include <QColor>
#include <QPalette>
#include <QWidget>

namespace shell {

inline constexpr QRgb kRiseColor = qRgb(255, 0, 0);
inline constexpr QRgb kFallColor = qRgb(0, 0xC0, 0);
inline constexpr QRgb kHeadlineHoverColor = qRgb(255, 0, 0);

// The stale price is greyed out as the system greys out a disabled text.
inline QColor StaleColor(const QWidget& panel) {
  return panel.palette().color(QPalette::Disabled, QPalette::WindowText);
}

}  // namespace shell
