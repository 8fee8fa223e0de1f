#pragma once

// One control of the panel. Unlike a bare QLabel it keeps the mouse events it gets, so a
// press lands on the topmost control under the pointer and never falls through to the window.

#include <QColor>
#include <QLabel>
#include <functional>

class QMouseEvent;

namespace shell {

class Control : public QLabel {
 public:
  explicit Control(QWidget* parent) : QLabel(parent) {}

  std::function<void(QMouseEvent*)> on_press;
  std::function<void(QMouseEvent*)> on_release;
  std::function<void(QMouseEvent*)> on_move;
  // A left-button press and release both over the control.
  std::function<void()> on_click;

 protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
};

// A label's text colour.
void SetTextColor(Control* label, const QColor& color);

// The system's button-text colour, the labels' normal colour.
QColor ButtonTextColor(const QWidget& widget);

}  // namespace shell
