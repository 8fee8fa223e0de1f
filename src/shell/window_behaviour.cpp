#include "shell/window_behaviour.h"

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>
#include <QTimer>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <array>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <utility>

#include "settings/settings_schema.h"
#include "settings/stored_values.h"
#include "shell/control.h"
#include "shell/layered_alpha.h"
#include "shell/layout.h"
#include "shell/named_timer.h"
#include "shell/qt_text.h"
#include "shell/twips.h"
#include "window/docking.h"
#include "window/lock_and_opacity.h"

namespace shell {

using settings::Key;

namespace {

// The menu's percentages are exactly the Transparent texts the settings accept: a choice they
// refused would be lost at the next start, a stored text no item offers would leave every mark
// off.
constexpr int NumberOf(std::string_view digits) {
  int number = 0;
  for (const char digit : digits) number = number * 10 + (digit - '0');
  return number;
}
constexpr bool OpacityChoicesAreTheAcceptedTexts() {
  const std::span<const std::string_view> accepted = settings::RuleOf(Key::kTransparent).accepted;
  std::array<int, window::kOpacityChoices.size()> menu{};
  std::array<int, window::kOpacityChoices.size()> stored{};
  if (accepted.size() != stored.size()) return false;
  for (std::size_t i = 0; i < menu.size(); ++i) {
    menu[i] = window::kOpacityChoices[i].percent;
    stored[i] = NumberOf(accepted[i]);
  }
  std::sort(menu.begin(), menu.end());
  std::sort(stored.begin(), stored.end());
  return menu == stored;
}
static_assert(OpacityChoicesAreTheAcceptedTexts(),
              "the opacity menu and Transparent's texts differ");

// Hears the panel's own events that can make a tick move it: a move (a drag, a placement, a
// tick's own step), a resize, being shown again (leaving the minimised state counts), and the
// pointer crossing into or out of it, which is what shows or hides a panel at an edge.
class EdgeEvents : public QObject {
 public:
  EdgeEvents(QObject* parent, std::function<void()> arm) : QObject(parent), arm_(std::move(arm)) {}

  bool eventFilter(QObject* /*watched*/, QEvent* event) override {
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::Show:
      case QEvent::Enter:
      case QEvent::Leave:
        arm_();
        break;
      default:
        break;
    }
    return false;
  }

 private:
  std::function<void()> arm_;
};

}  // namespace

WindowBehaviour::WindowBehaviour(QWidget* panel, Controls controls, MenuItemLookup menu_item,
                                 const IniClass& ini, PointerMoved pointer_moved,
                                 PopUpMenu pop_up_menu)
    : panel_(panel),
      controls_(controls),
      menu_item_(std::move(menu_item)),
      ini_(ini),
      pointer_moved_(std::move(pointer_moved)),
      pop_up_menu_(std::move(pop_up_menu)),
      timer_(MakeTimer(panel, "HideTimer", 100)) {
  QObject::connect(timer_, &QTimer::timeout, panel_, [this] { HideTick(); });
  panel_->installEventFilter(new EdgeEvents(panel_, [this] { ArmTick(); }));
  WatchScreen(QGuiApplication::primaryScreen());
  QObject::connect(qGuiApp, &QGuiApplication::primaryScreenChanged, panel_,
                   [this](QScreen* screen) {
                     WatchScreen(screen);
                     ArmTick();
                   });
  controls_.lock->on_click = [this] { LockAndUnLock(QStringLiteral("Lock")); };
  controls_.unlock->on_click = [this] { LockAndUnLock(QStringLiteral("UnLock")); };
  ConnectDragSurface();
}

Qt::WindowFlags WindowBehaviour::PanelWindowFlags() {
  Qt::WindowFlags flags = Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint;
  // A window manager keeps part of a window it manages on screen, so the panel could never
  // hide to its strip at an edge. On X11 the panel places itself and is dragged by its own
  // code instead.
  if (QGuiApplication::platformName() == QStringLiteral("xcb")) {
    flags |= Qt::X11BypassWindowManagerHint;
  }
  return flags;
}

void WindowBehaviour::ConnectMenu(const Main& menu) {
  QObject::connect(menu.Item("Menu_LockForm"), &QAction::triggered, panel_, [this] {
    // The item names the change from the state on view.
    LockAndUnLock(locked_ ? QStringLiteral("UnLock") : QStringLiteral("Lock"));
  });
  for (const window::OpacityChoice& choice : window::kOpacityChoices) {
    QObject::connect(menu.Item(choice.menu_item), &QAction::triggered, panel_,
                     [this, percent = choice.percent] { SetTransparent(percent); });
  }
}

void WindowBehaviour::PlaceFromSettings() {
  if (const auto position =
          settings::ReadStoredPosition(Read(ini_, Key::kLeft), Read(ini_, Key::kTop))) {
    MoveToTwips(position->left, position->top);
    return;
  }
  // Clear of the screen's edges, where an unlocked panel would dock and hide.
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  const int width = TwipsToPixels(kPanelWidthTwips);
  MoveToTwips(PixelsToTwips(screen.right() - width - 100), PixelsToTwips(screen.top() + 100));
}

void WindowBehaviour::ApplyStoredLockAndOpacity() {
  const std::string lock_state = Read(ini_, Key::kLockState);
  transparent_value_ = settings::ReadStoredTransparent(Read(ini_, Key::kTransparent));
  Write(ini_, Key::kTransparent, std::to_string(transparent_value_));
  LockAndUnLock(QString::fromStdString(settings::Normalised(Key::kLockState, lock_state)));
}

void WindowBehaviour::SavePosition() const {
  Write(ini_, Key::kLeft, settings::FormatSingle(static_cast<float>(LeftTwips())));
  Write(ini_, Key::kTop, settings::FormatSingle(static_cast<float>(TopTwips())));
}

void WindowBehaviour::LockAndUnLock(const QString& lock_string) {
  const std::string text = Utf8(lock_string);
  const std::optional<bool> lock = window::ParseLockString(text);
  if (!lock) return;
  locked_ = *lock;
  controls_.lock->setVisible(!locked_);
  controls_.unlock->setVisible(locked_);
  menu_item_("Menu_LockForm")->setChecked(locked_);
  SetTransparent(transparent_value_);
  Write(ini_, Key::kLockState, text);
  ArmTick();
}

void WindowBehaviour::SetTransparent(int transparent) {
  for (const window::OpacityChoice& choice : window::kOpacityChoices) {
    menu_item_(choice.menu_item)->setChecked(choice.percent == transparent);
  }
  // An unlocked panel stays fully opaque.
  Code::SetLayeredAlpha(panel_, window::AlphaNow(transparent, locked_));
  transparent_value_ = transparent;
  Write(ini_, Key::kTransparent, std::to_string(transparent));
}

void WindowBehaviour::KeepOnTop() {
  panel_->setWindowFlag(Qt::WindowStaysOnTopHint, true);
  panel_->raise();
}

void WindowBehaviour::ConnectDragSurface() {
  controls_.form->on_press = [this](QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    drag_hold_ = event->globalPosition().toPoint() - panel_->pos();
    dragging_by_hand_ = false;
  };
  controls_.form->on_move = [this](QMouseEvent* event) { FormMouseMove(event); };
  controls_.form->on_release = [this](QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) dragging_by_hand_ = false;
    if (event->button() == Qt::RightButton) pop_up_menu_(event->globalPosition().toPoint());
  };
}

void WindowBehaviour::FormMouseMove(QMouseEvent* event) {
  KeepOnTop();
  // The move request needs a pressed button here; a drag starts on a press over the panel.
  if (!locked_ && event->buttons().testFlag(Qt::LeftButton)) {
    if (!dragging_by_hand_) {
      const bool managed = !panel_->windowFlags().testFlag(Qt::X11BypassWindowManagerHint);
      QWindow* native = panel_->windowHandle();
      if (managed && native != nullptr && native->startSystemMove()) {
        pointer_moved_();
        return;
      }
      // No window manager takes the move: follow the pointer until the release.
      dragging_by_hand_ = true;
    }
    panel_->move(event->globalPosition().toPoint() - drag_hold_);
  }
  pointer_moved_();
}

void WindowBehaviour::BeginTicking() {
  ticking_ = true;
  ArmTick();
}

void WindowBehaviour::HoldStill(bool held) {
  held_ = held;
  ArmTick();
}

void WindowBehaviour::WatchScreen(QScreen* screen) {
  // A smaller screen can put the panel's right side at the edge.
  QObject::disconnect(screen_watch_);
  if (screen != nullptr) {
    screen_watch_ =
        QObject::connect(screen, &QScreen::geometryChanged, panel_, [this] { ArmTick(); });
  }
}

void WindowBehaviour::ArmTick() {
  // The tick decides whether it has anything to watch; arming only asks it to look.
  if (!ticking_) return;
  if (locked_ || held_) {
    timer_->stop();
  } else if (!timer_->isActive()) {
    timer_->start();
  }
}

void WindowBehaviour::HideTick() {
  if (locked_ || held_) {
    timer_->stop();
    return;
  }
  const QRect frame = panel_->frameGeometry();
  window::DockInputs in;
  in.minimized = panel_->isMinimized();
  in.rect = {frame.left(), frame.top(), frame.left() + frame.width(), frame.top() + frame.height()};
  in.left = LeftTwips();
  in.top = TopTwips();
  in.width = PixelsToTwips(panel_->width());
  in.height = PixelsToTwips(panel_->height());
  in.screen_width = PixelsToTwips(QGuiApplication::primaryScreen()->geometry().width());
  // Away from the edges no pointer can make a tick move the panel: the tick rests until a
  // move, a show or a new screen size re-arms it.
  if (in.minimized || !window::AtOrPastAnEdge(in)) {
    timer_->stop();
    return;
  }
  // A panel shown at an edge stays while its own menu is open: the menu takes the pointer's
  // crossings, and the person is still working with the panel.
  if (QApplication::activePopupWidget() != nullptr) {
    pointer_unknown_ = true;
    return;
  }
  // The window system tells the panel of every pointer crossing, so off the panel the pointer
  // is known to be outside without a round trip to ask where it is, ten times a second. After
  // a menu the crossings it took are unknown: the pointer is asked for until seen outside.
  if (panel_->underMouse()) pointer_unknown_ = false;
  if (panel_->underMouse() || pointer_unknown_) {
    const QPoint pointer = QCursor::pos();
    in.pointer = {pointer.x(), pointer.y()};
    if (!frame.contains(pointer)) pointer_unknown_ = false;
  } else {
    in.pointer = {in.rect.left, in.rect.top};  // the first pixel counts as outside
  }
  const std::optional<window::DockMove> step = window::DockStep(in);
  const bool top = step && step->coordinate == window::DockMove::Coordinate::kTop;
  if (step && step->twips != (top ? in.top : in.left)) {
    // The move re-arms the tick, which looks once more after it.
    if (top) {
      MoveToTwips(in.left, step->twips);
    } else {
      MoveToTwips(step->twips, in.top);
    }
    return;
  }
  // Nothing to move: at an edge only a crossing of the pointer, a move, a show, a resize, an
  // unlock or a new screen size can change that, and each of them re-arms the tick. While the
  // pointer is unknown after a menu, the tick keeps asking for it.
  if (!pointer_unknown_) timer_->stop();
}

int WindowBehaviour::LeftTwips() const {
  const int x = panel_->x();
  return x == TwipsToPixels(left_twips_) ? left_twips_ : PixelsToTwips(x);
}

int WindowBehaviour::TopTwips() const {
  const int y = panel_->y();
  return y == TwipsToPixels(top_twips_) ? top_twips_ : PixelsToTwips(y);
}

void WindowBehaviour::MoveToTwips(int left, int top) {
  left_twips_ = left;
  top_twips_ = top;
  panel_->move(TwipsToPixels(left), TwipsToPixels(top));
}

}  // namespace shell
