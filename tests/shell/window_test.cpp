// The position lock and the opacity through the panel: buttons, menu items, start-up and the
// settings they leave.

#include <QAction>
#include <QApplication>
#include <QCursor>
#include <QEvent>
#include <QFile>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <functional>
#include <utility>

#include "shell/control.h"
#include "shell/layered_alpha.h"
#include "tests/shell/widget_fixture.h"

namespace {

class WindowTest : public WidgetTest {
 protected:
  int Alpha() const { return qRound(mini_->windowOpacity() * 255); }
  std::string Stored(const char* key) const { return mini_->Ini().GetIniString("System", key); }
  void Click(const char* name) {
    QTest::mouseClick(mini_->Control(name), Qt::LeftButton, {}, QPoint(4, 4));
  }
  QStringList OpacityMarks() const { return Marked("Menu_Transparent"); }
  // The pointer moved there, and the crossing it makes delivered to the panel.
  static void PointerAt(const QPoint& at) {
    QCursor::setPos(at);
    QCoreApplication::processEvents();
  }
  void ExpectLocked(bool locked) const {
    EXPECT_EQ(mini_->IsLocked(), locked ? -1 : 0);
    EXPECT_EQ(mini_->Control("UnLockImage")->isVisible(), locked);
    EXPECT_EQ(mini_->Control("LockImage")->isVisible(), !locked);
    EXPECT_EQ(mini_->MenuItem("Menu_LockForm")->isChecked(), locked);
  }
};

TEST_F(WindowTest, TheChosenOpacityAppliesOnlyWhileLocked) {
  StartMini();
  ExpectLocked(false);
  EXPECT_EQ(Alpha(), 255);
  EXPECT_EQ(OpacityMarks(), QStringList{"Menu_Transparent_50"});

  // Unlocked, 20 %: the mark moves and is stored, the panel stays opaque until locked.
  mini_->MenuItem("Menu_Transparent_20")->trigger();
  EXPECT_EQ(OpacityMarks(), QStringList{"Menu_Transparent_20"});
  EXPECT_EQ(Stored("Transparent"), "20");
  EXPECT_EQ(Alpha(), 255);
  Click("LockImage");
  ExpectLocked(true);
  EXPECT_EQ(Alpha(), 51);
  EXPECT_EQ(Stored("LockState"), "Lock");

  // Locked, 70 %: at once.
  mini_->MenuItem("Menu_Transparent_70")->trigger();
  EXPECT_EQ(Alpha(), 178);
  EXPECT_EQ(mini_->TransparentValue(), 70);

  // Unlock at 50 %: opaque; lock again: back to 50 % without another choice.
  mini_->MenuItem("Menu_Transparent_50")->trigger();
  EXPECT_EQ(Alpha(), 127);
  Click("UnLockImage");
  ExpectLocked(false);
  EXPECT_EQ(Alpha(), 255);
  EXPECT_EQ(Stored("LockState"), "UnLock");
  // The menu item goes by the button on view.
  mini_->MenuItem("Menu_LockForm")->trigger();
  ExpectLocked(true);
  EXPECT_EQ(Alpha(), 127);
  mini_->MenuItem("Menu_LockForm")->trigger();
  ExpectLocked(false);
  EXPECT_EQ(mini_->windowHandle()->opacity(), 1.0);
}

TEST_F(WindowTest, EveryToggleAndChoiceWritesTheOpacityFirst) {
  StartMini();
  // With the file gone, what a call writes shows in the order of the keys it creates.
  ASSERT_TRUE(QFile::remove(IniPath()));
  Click("LockImage");
  EXPECT_EQ(IniText(), "[System]\r\nTransparent=50\r\nLockState=Lock\r\n");

  ASSERT_TRUE(QFile::remove(IniPath()));
  mini_->MenuItem("Menu_Transparent_30")->trigger();
  EXPECT_EQ(IniText(), "[System]\r\nTransparent=30\r\n");
  mini_->MenuItem("Menu_Transparent_30")->trigger();  // the same choice again
  EXPECT_EQ(Stored("Transparent"), "30");

  // Capitals are understood and kept; any other text changes and writes nothing.
  ASSERT_TRUE(QFile::remove(IniPath()));
  mini_->LockAndUnLock(QStringLiteral("UNLOCK"));
  ExpectLocked(false);
  EXPECT_EQ(Stored("LockState"), "UNLOCK");
  mini_->LockAndUnLock(QStringLiteral("LOCK"));
  ExpectLocked(true);
  EXPECT_EQ(Stored("LockState"), "LOCK");
  ASSERT_TRUE(QFile::remove(IniPath()));
  for (const char* other : {"", "locked", " lock"}) {
    mini_->LockAndUnLock(QString::fromLatin1(other));
    ExpectLocked(true);
  }
  EXPECT_FALSE(QFile::exists(IniPath()));
}

TEST_F(WindowTest, StartUpAppliesTheStoredLockAndOpacity) {
  WriteIni("[System]\r\nTransparent=80\r\nLockState=lock\r\n");
  StartMini();
  ExpectLocked(true);
  EXPECT_EQ(Alpha(), 204);
  EXPECT_EQ(OpacityMarks(), QStringList{"Menu_Transparent_80"});
  EXPECT_EQ(Stored("LockState"), "lock");

  for (const char* stored : {"", "Locked", "1"}) {
    WriteIni(std::string("[System]\r\nTransparent=35\r\nLockState=") + stored + "\r\n");
    StartMini();
    ExpectLocked(false);
    EXPECT_EQ(Alpha(), 255) << stored;
    EXPECT_EQ(Stored("LockState"), "UnLock") << stored;
    EXPECT_EQ(Stored("Transparent"), "50") << stored;
    EXPECT_EQ(OpacityMarks(), QStringList{"Menu_Transparent_50"}) << stored;
  }
}

TEST_F(WindowTest, LayeredAlphaReachesTheNativeWindow) {
  StartMini();
  EXPECT_TRUE(Code::SetLayeredAlpha(mini_.get(), 76));
  EXPECT_DOUBLE_EQ(mini_->windowHandle()->opacity(), 76 / 255.0);
  // A window that does not exist yet takes the opacity when it is shown.
  QWidget later;
  EXPECT_FALSE(Code::SetLayeredAlpha(&later, 102));
  later.show();
  EXPECT_EQ(qRound(later.windowHandle()->opacity() * 255), 102);
}

// The tick as the panel applies it: pointer and rectangle in pixels, place in twips.
TEST_F(WindowTest, TheHideTickDocksAtTheEdgesOfThePrimaryScreen) {
  StartMini();
  const int screen = QGuiApplication::primaryScreen()->geometry().width();
  const QPoint away(screen / 2, 500);

  mini_->MoveToTwips(6000, 30);
  PointerAt(away);
  mini_->HideTick();
  EXPECT_EQ(mini_->TopTwips(), -1150);
  EXPECT_EQ(mini_->LeftTwips(), 6000);
  EXPECT_EQ(mini_->y(), -77);  // a 3-pixel strip stays on screen
  PointerAt(QPoint(450, 1));
  mini_->HideTick();
  EXPECT_EQ(mini_->TopTwips(), -10);
  PointerAt(away);
  mini_->HideTick();
  EXPECT_EQ(mini_->TopTwips(), -1150);

  // Right edge, by the primary screen's width in twips; locked, nothing moves.
  mini_->MoveToTwips(screen * 15 - 5250, 3000);
  mini_->HideTick();
  EXPECT_EQ(mini_->LeftTwips(), screen * 15 - 50);
  Click("LockImage");
  PointerAt(QPoint(screen - 2, 220));
  mini_->HideTick();
  EXPECT_EQ(mini_->LeftTwips(), screen * 15 - 50);
  Click("UnLockImage");
  mini_->HideTick();
  EXPECT_EQ(mini_->LeftTwips(), screen * 15 - 5250 + 10);

  // Clear of every edge: stays.
  mini_->MoveToTwips(3000, 3000);
  PointerAt(away);
  mini_->HideTick();
  EXPECT_EQ(mini_->pos(), QPoint(200, 200));
}

// The docking tick runs only while it could move the panel, and every path that can bring
// the panel to an edge wakes it again.
TEST_F(WindowTest, TheHideTickRestsAwayFromTheEdgesUntilSomethingCouldDockThePanel) {
  // Placed at the top edge at start-up: ticking, and the first tick hides it.
  WriteIni("[System]\r\nLeft=6000\r\nTop=30\r\n");
  StartMini();
  QTimer* tick = mini_->HideTimer();
  QScreen* screen = QGuiApplication::primaryScreen();
  PointerAt(QPoint(screen->geometry().width() / 2, 500));
  ASSERT_TRUE(tick->isActive());
  mini_->HideTick();
  EXPECT_EQ(mini_->TopTwips(), -1150);
  const auto rest_in_the_middle = [&] {
    mini_->MoveToTwips(3000, 3000);
    mini_->HideTick();
    return !tick->isActive();
  };
  ASSERT_TRUE(rest_in_the_middle());

  // At the top edge it ticks until the panel has hidden, then rests; locked it rests,
  // unlocked it wakes.
  mini_->MoveToTwips(6000, 30);
  ASSERT_TRUE(tick->isActive());
  mini_->HideTick();
  EXPECT_EQ(mini_->TopTwips(), -1150);
  EXPECT_TRUE(tick->isActive());
  mini_->HideTick();
  EXPECT_FALSE(tick->isActive());
  Click("LockImage");
  EXPECT_FALSE(tick->isActive());
  Click("UnLockImage");
  EXPECT_TRUE(tick->isActive());

  // Hidden at the edge, the pointer entering its strip wakes the tick, which shows the panel
  // and rests; leaving wakes it again, and it hides the panel.
  const auto cross = [&](QEvent::Type type, QPoint pointer) {
    PointerAt(pointer);
    QEvent crossing(type);
    QCoreApplication::sendEvent(mini_.get(), &crossing);
  };
  const auto ticks_until_rest = [&] {
    int ticks = 0;
    while (tick->isActive() && ticks < 10) {
      mini_->HideTick();
      ++ticks;
    }
    return ticks;
  };
  ASSERT_EQ(ticks_until_rest(), 1);
  cross(QEvent::Enter, QPoint(450, 1));
  EXPECT_TRUE(tick->isActive());
  EXPECT_EQ(ticks_until_rest(), 2);
  EXPECT_EQ(mini_->TopTwips(), -10);
  cross(QEvent::Leave, QPoint(450, 500));
  EXPECT_TRUE(tick->isActive());
  EXPECT_EQ(ticks_until_rest(), 2);
  EXPECT_EQ(mini_->TopTwips(), -1150);

  const std::pair<const char*, std::function<void()>> wakes[] = {
      {"a move", [&] { mini_->move(mini_->pos() + QPoint(1, 0)); }},
      {"shown again",
       [&] {
         mini_->hide();
         ASSERT_TRUE(rest_in_the_middle());
         mini_->show();
       }},
      // As the window system tells it: the state changes, the panel stays shown throughout.
      {"restored from minimised",
       [&] {
         QWindowStateChangeEvent restored(Qt::WindowMinimized);
         QCoreApplication::sendEvent(mini_.get(), &restored);
       }},
      {"a new screen size", [&] { Q_EMIT screen->geometryChanged(screen->geometry()); }},
      // The panel's size is fixed; the window system may still resize it.
      {"a resize",
       [&] {
         QResizeEvent resized(mini_->size() + QSize(0, 1), mini_->size());
         QCoreApplication::sendEvent(mini_.get(), &resized);
       }},
  };
  for (const auto& [path, wake] : wakes) {
    ASSERT_TRUE(rest_in_the_middle()) << path;
    wake();
    EXPECT_TRUE(tick->isActive()) << path;
  }
}

// The tick hands the window's minimised state to the rule: a minimised panel at the top edge
// neither hides nor comes back, with the pointer away or on its strip.
TEST_F(WindowTest, TheHideTickLeavesAMinimizedPanelWhereItIs) {
  StartMini();
  mini_->showMinimized();
  ASSERT_TRUE(mini_->isMinimized());
  mini_->MoveToTwips(6000, 30);
  PointerAt(QPoint(QGuiApplication::primaryScreen()->geometry().width() / 2, 500));
  mini_->HideTick();
  EXPECT_EQ(mini_->TopTwips(), 30);
  mini_->MoveToTwips(6000, -1150);
  PointerAt(QPoint(450, 1));
  mini_->HideTick();
  EXPECT_EQ(mini_->TopTwips(), -1150);
}

// Moves over the drag surface: always back on top and the headline's hover look off; with
// the left button held an unlocked panel follows the pointer, a locked one does not.
TEST_F(WindowTest, TheDragSurfaceMovesOnlyAnUnlockedPanel) {
  StartMini();
  mini_->MoveToTwips(3000, 3000);
  shell::Control* surface = mini_->Control("FormImage");
  const auto drag = [&](QPoint by) {
    const QPoint start(150, 25);
    QMouseEvent press(QEvent::MouseButtonPress, start, surface->mapToGlobal(start), Qt::LeftButton,
                      Qt::LeftButton, {});
    QApplication::sendEvent(surface, &press);
    const QPoint global = surface->mapToGlobal(start) + by;
    QMouseEvent move(QEvent::MouseMove, surface->mapFromGlobal(global), global, Qt::NoButton,
                     Qt::LeftButton, {});
    QApplication::sendEvent(surface, &move);
    QMouseEvent release(QEvent::MouseButtonRelease, surface->mapFromGlobal(global), global,
                        Qt::LeftButton, Qt::NoButton, {});
    QApplication::sendEvent(surface, &release);
  };

  QTest::mouseMove(mini_->Control("News"), QPoint(10, 5));
  drag(QPoint(-60, 40));
  EXPECT_EQ(mini_->pos(), QPoint(140, 240));
  EXPECT_FALSE(mini_->Control("News")->font().underline());

  // A move without the button held does not drag.
  QTest::mouseMove(surface, QPoint(200, 30));
  EXPECT_EQ(mini_->pos(), QPoint(140, 240));

  Click("LockImage");
  QTest::mouseMove(mini_->Control("News"), QPoint(10, 5));
  drag(QPoint(50, 50));
  EXPECT_EQ(mini_->pos(), QPoint(140, 240));
  EXPECT_FALSE(mini_->Control("News")->font().underline());
}

}  // namespace
