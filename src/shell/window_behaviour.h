#pragma once

// How the panel sits on the screen: its place in twips, the position lock, the opacity,
// dragging, and docking at an edge with HideTimer's tick. The rules are plain functions in
// window/; this object owns the timer, the lock state, the opacity and the drag in progress.

#include <QObject>
#include <QPoint>
#include <QString>
#include <functional>

#include "shell/main_menu.h"

class IniClass;
class QMouseEvent;
class QScreen;
class QTimer;
class QWidget;

namespace shell {

class Control;

class WindowBehaviour {
 public:
  struct Controls {
    Control* lock;    // on view while unlocked: a click locks
    Control* unlock;  // on view while locked: a click unlocks
    Control* form;    // the drag surface
  };
  // Called on every pointer move over the drag surface, after the window's own handling.
  using PointerMoved = std::function<void()>;
  using PopUpMenu = std::function<void(const QPoint& global_position)>;

  WindowBehaviour(QWidget* panel, Controls controls, MenuItemLookup menu_item, const IniClass& ini,
                  PointerMoved pointer_moved, PopUpMenu pop_up_menu);

  static Qt::WindowFlags PanelWindowFlags();

  void ConnectMenu(const Main& menu);
  // Start-up: the stored position, or a place clear of the screen's edges.
  void PlaceFromSettings();
  // Start-up: the stored opacity (written back normalised), then the stored lock state.
  void ApplyStoredLockAndOpacity();
  void SavePosition() const;

  void LockAndUnLock(const QString& lock_string);
  void SetTransparent(int transparent);
  // -1 while locked, 0 while unlocked.
  int IsLocked() const { return locked_ ? -1 : 0; }
  int TransparentValue() const { return transparent_value_; }

  void HideTick();
  // From the end of start-up on, HideTimer runs only from something that could make a tick
  // move the panel until that move is made: it stops itself once a tick finds nothing to move,
  // and is re-armed by a move, a show, a resize, an unlock, a new screen size or the pointer
  // crossing the panel's border.
  void BeginTicking();
  // While held the tick rests whatever happens: a panel out of sight is never moved, so that it
  // comes back exactly where it went. Let go, the tick looks again.
  void HoldStill(bool held);
  void FormMouseMove(QMouseEvent* event);
  void KeepOnTop();

  int LeftTwips() const;
  int TopTwips() const;
  void MoveToTwips(int left, int top);
  QTimer* Timer() const { return timer_; }

 private:
  void ConnectDragSurface();
  void ArmTick();
  void WatchScreen(QScreen* screen);

  QWidget* panel_;
  Controls controls_;
  MenuItemLookup menu_item_;
  const IniClass& ini_;
  PointerMoved pointer_moved_;
  PopUpMenu pop_up_menu_;
  QTimer* timer_;
  QMetaObject::Connection screen_watch_;
  bool ticking_ = false;
  bool held_ = false;
  // Set while a menu of the program may have taken pointer crossings the panel did not see.
  bool pointer_unknown_ = false;
  bool locked_ = false;
  int transparent_value_ = 0;
  // Where in the panel the left button took hold, and whether our own code moves the panel
  // with the pointer (where no window manager does it) until the release.
  QPoint drag_hold_;
  bool dragging_by_hand_ = false;
  // The last position set in twips, kept so that a position survives a restart exactly
  // although the window itself moves in whole pixels.
  int left_twips_ = 0;
  int top_twips_ = 0;
};

}  // namespace shell
