#include "shell/control.h"

#include <QMouseEvent>

namespace shell {

void Control::mousePressEvent(QMouseEvent* event) {
  event->accept();
  if (on_press) on_press(event);
}

void Control::mouseReleaseEvent(QMouseEvent* event) {
  event->accept();
  if (on_release) on_release(event);
  if (on_click && event->button() == Qt::LeftButton &&
      rect().contains(event->position().toPoint())) {
    on_click();
  }
}

void Control::mouseMoveEvent(QMouseEvent* event) {
  event->accept();
  if (on_move) on_move(event);
}

void SetTextColor(Control* label, const QColor& color) {
  QPalette label_palette = label->palette();
  label_palette.setColor(QPalette::WindowText, color);
  label->setPalette(label_palette);
}

QColor ButtonTextColor(const QWidget& widget) {
  return widget.palette().color(QPalette::ButtonText);
}

}  // namespace shell
