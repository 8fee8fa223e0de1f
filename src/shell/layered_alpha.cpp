#include "shell/layered_alpha.h"

#include <QWidget>
#include <QWindow>
#include <algorithm>

namespace Code {

bool SetLayeredAlpha(QWidget* window, int alpha) {
  const qreal opacity = std::clamp(alpha, 0, 255) / 255.0;
  window->setWindowOpacity(opacity);
  const QWindow* native = window->windowHandle();
  return native != nullptr && qFuzzyCompare(native->opacity(), opacity);
}

}  // namespace Code
