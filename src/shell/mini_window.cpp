// The panel's side of the window behaviour: the position lock, the opacity, dragging and
// docking. The rules are plain functions in window/.

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QWindow>
#include <string>

#include "settings/stored_values.h"
#include "shell/control.h"
#include "shell/layered_alpha.h"
#include "shell/main_menu.h"
#include "shell/mini.h"
#include "shell/twips.h"
#include "window/docking.h"
#include "window/lock_and_opacity.h"

void Mini::ConnectWindowMenu() {
  QObject::connect(main_->Item("Menu_LockForm"), &QAction::triggered, this, [this] {
    // The button on view names the next change, whatever the state says.
    LockAndUnLock(!Control("LockImage")->isHidden() ? QStringLiteral("Lock")
                                                    : QStringLiteral("UnLock"));
  });
  for (const window::OpacityChoice& choice : window::kOpacityChoices) {
    QObject::connect(main_->Item(choice.menu_item), &QAction::triggered, this,
                     [this, percent = choice.percent] { SetTransparent(percent); });
  }
}

void Mini::ConnectLockButtons() {
  Control("LockImage")->on_click = [this] { LockAndUnLock(QStringLiteral("Lock")); };
  Control("UnLockImage")->on_click = [this] { LockAndUnLock(QStringLiteral("UnLock")); };
}

void Mini::LockAndUnLock(const QString& lock_string) {
  const std::string text = lock_string.toUtf8().toStdString();
  const std::optional<bool> lock = window::ParseLockString(text);
  if (!lock) return;
  Control("LockImage")->setVisible(!*lock);
  Control("UnLockImage")->setVisible(*lock);
  is_locked_ = *lock ? -1 : 0;
  MenuItem("Menu_LockForm")->setChecked(*lock);
  SetTransparent(transparent_value_);
  Write("LockState", text);
}

void Mini::SetTransparent(int transparent) {
  for (const window::OpacityChoice& choice : window::kOpacityChoices) {
    MenuItem(choice.menu_item)->setChecked(choice.percent == transparent);
  }
  // The lock button on view means unlocked: then the panel stays fully opaque.
  const bool locked = !!Control("LockImage")->isHidden();
  Code::SetLayeredAlpha(this, window::AlphaNow(transparent, locked));
  transparent_value_ = transparent;
  Write("Transparent", std::to_string(transparent));
}

Qt::WindowFlags Mini::PanelWindowFlags() {
  Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
  // A window manager keeps part of a window it manages on screen, so the panel could never
  // hide to its strip at an edge. On X11 the panel places itself and is dragged by its own
  // code instead.
  if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
    flags |= Qt::X11BypassWindowManagerHint;
  }
  return flags;
}

void Mini::KeepOnTop() {
  setWindowFlag(Qt::WindowStaysOnTopHint, true);
  raise();
}

void Mini::ConnectDragSurface() {
  shell::Control* surface = Control("FormImage");
  surface->on_press = [this](QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    drag_hold_ = event->globalPosition().toPoint() - pos();
    dragging_by_hand_ = false;
  };
  surface->on_move = [this](QMouseEvent* event) { FormMouseMove(event); };
  surface->on_release = [this](QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_by_hand_ = false;
    if (event->button() == Qt::RightButton) PopUpMenu(event->globalPosition().toPoint());
  };
}

void Mini::FormMouseMove(QMouseEvent* event) {
  KeepOnTop();
  // The move request needs a pressed button here; a drag starts on a press over the panel.
  if (is_locked_ == 0 && event->buttons().testFlag(Qt::LeftButton)) {
    if (!dragging_by_hand_) {
      const bool managed = !windowFlags().testFlag(Qt::X11BypassWindowManagerHint);
      QWindow* native = windowHandle();
      if (managed && native != nullptr && native->startSystemMove()) {
        NewsHoverOff();
        return;
      }
      // No window manager takes the move: follow the pointer until the release.
      dragging_by_hand_ = true;
    }
    move(event->globalPosition().toPoint() - drag_hold_);
  }
  NewsHoverOff();
}

void Mini::HideTick() {
  if (is_locked_ == -1) return;
  const QRect frame = frameGeometry();
  window::DockInputs in;
  in.minimized = isMinimized();
  in.rect = {frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()};
  in.left = LeftTwips();
  in.top = TopTwips();
  in.width = shell::PixelsToTwips(width());
  in.height = shell::PixelsToTwips(height());
  in.screen_width = shell::PixelsToTwips(QGuiApplication::primaryScreen()->geometry().width());
  // Asking the window system for the pointer ten times a second is the tick's only real cost.
  if (!window::AtOrPastAnEdge(in)) return;
  const QPoint pointer = QCursor::pos();
  in.pointer = {pointer.x(), pointer.y()};
  const std::optional<window::DockMove> step = window::DockStep(in);
  if (!step) return;
  if (step->coordinate == window::DockMove::Coordinate::kTop) {
    if (step->twips != in.top) MoveToTwips(in.left, step->twips);
  } else if (step->twips != in.left) {
    MoveToTwips(step->twips, in.top);
  }
}
