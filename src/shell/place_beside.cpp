#include "shell/place_beside.h"

#include <QScreen>
#include <QWidget>

#include "window/dialog_place.h"

namespace shell {

void PlaceBesidePanel(const QWidget& panel, QWidget& window) {
  const auto pixels = [](const QRect& rect) {
    return window::PixelRect{rect.left(), rect.top(), rect.left() + rect.width(),
                             rect.top() + rect.height()};
  };
  const window::PixelPoint at = window::DialogPlace(
      pixels(panel.frameGeometry()), pixels(panel.screen()->availableGeometry()), window.width(),
      window.frameGeometry().height());
  window.move(at.x, at.y);
}

}  // namespace shell
