// The panel out of sight at once and back (`Tessal --toggle`): where it comes back, what its
// docking does meanwhile, which show paths bring it back, and how alerts reach the person.

#include <QAction>
#include <QCursor>
#include <QGuiApplication>
#include <QScreen>
#include <QTest>
#include <QTimer>
#include <string>

#include "net/wire_paths.h"
#include "shell/chart_window.h"
#include "shell/control.h"
#include "shell/tray.h"
#include "tests/shell/widget_fixture.h"

namespace {

// A file that start-up leaves as it is, with an alert on the selected product.
constexpr const char* kSettledWithAlert =
    "[System]\r\nPriceType=au\r\nRefreshTime=5\r\nTransparent=50\r\nLockState=UnLock\r\n"
    "AutoRun=False\r\nAlert_au=542.00,\r\n";

class HidingTest : public WidgetTest {
 protected:
  static void PointerAt(const QPoint& at) {
    QCursor::setPos(at);
    QCoreApplication::processEvents();
  }
  static QPoint Away() { return {QGuiApplication::primaryScreen()->geometry().width() / 2, 500}; }
  void Quote(const std::string& reply) {
    Reply(wire::kPricePath, reply);
    mini_->GetPrice();
    Settle();
  }
  void ExpectOnView(bool on_view) const {
    EXPECT_EQ(mini_->isVisible(), on_view);
    EXPECT_EQ(mini_->Hidden(), !on_view);
  }
};

struct Place {
  const char* name;
  int left;
  int top;
  QPoint pointer;  // where the pointer is when the panel goes
  // Where the docking puts the panel once the pointer has left it, after it came back.
  int left_docked;
  int top_docked;
};

// Out of sight the docking tick never moves the panel, whatever the pointer does; it comes
// back exactly where it went and docks on from there. Nothing is written meanwhile.
TEST_F(HidingTest, ThePanelComesBackWhereItWentAndDocksOnFromThere) {
  const Place places[] = {
      {"free", 3000, 3000, QPoint(210, 210), 3000, 3000},
      {"docked out of sight at the top", 6000, -1150, Away(), 6000, -1150},
      // In full at the left edge, the pointer on it: out of sight, the pointer's leaving
      // must not dock it.
      {"docked in full at the left", -10, 3000, QPoint(100, 210), -5200, 3000},
  };
  StartMini();
  for (const Place& place : places) {
    SCOPED_TRACE(place.name);
    mini_->MoveToTwips(place.left, place.top);
    PointerAt(place.pointer);
    const std::string stored = IniText();

    mini_->ToggleHidden();
    ExpectOnView(false);
    EXPECT_FALSE(mini_->HideTimer()->isActive());
    for (const QPoint pointer : {Away(), QPoint(450, 1), QPoint(1, 210)}) {
      PointerAt(pointer);
      mini_->HideTick();
    }
    EXPECT_EQ(mini_->LeftTwips(), place.left);
    EXPECT_EQ(mini_->TopTwips(), place.top);

    PointerAt(Away());
    mini_->ToggleHidden();
    ExpectOnView(true);
    EXPECT_EQ(mini_->LeftTwips(), place.left);
    EXPECT_EQ(mini_->TopTwips(), place.top);
    EXPECT_EQ(IniText(), stored);
    for (int tick = 0; tick < 3; ++tick) mini_->HideTick();
    EXPECT_EQ(mini_->LeftTwips(), place.left_docked);
    EXPECT_EQ(mini_->TopTwips(), place.top_docked);
  }
}

// The panel's own show paths bring it back from out of sight, with the windows that went with
// it; one hidden by its hide button comes back with the toggle.
TEST_F(HidingTest, EveryShowPathBringsItBackWithItsWindows) {
  StartMini();
  mini_->MenuItem("Menu_Chart")->trigger();
  Settle();
  QWidget* chart = mini_->Chart().Window();
  ASSERT_NE(chart, nullptr);
  ASSERT_TRUE(chart->isVisible());

  mini_->ToggleHidden();
  EXPECT_FALSE(chart->isVisible());
  mini_->TrayEvent(Tray::kLeftDoubleClick);  // a second plain start asks the same
  ExpectOnView(true);
  EXPECT_TRUE(chart->isVisible());

  mini_->ToggleHidden();
  mini_->MenuItem("Menu_Show")->trigger();
  ExpectOnView(true);
  EXPECT_TRUE(chart->isVisible());

  // The hide button hides as it always has; the toggle then shows.
  QTest::mouseClick(mini_->Control("HideImage"), Qt::LeftButton, {}, QPoint(4, 4));
  EXPECT_FALSE(mini_->isVisible());
  EXPECT_FALSE(mini_->Hidden());
  mini_->ToggleHidden();
  ExpectOnView(true);
}

// Out of sight alerts still go to the desktop's notification service, and where none takes
// them the tray keeps silent but for its tip; the icon stays, even when the panel went before
// it was first drawn. Back on view, the tray's message comes again.
TEST_F(HidingTest, AlertsStillNotifyButTheTrayShowsNoBalloon) {
  for (const bool service : {true, false}) {
    SCOPED_TRACE(service ? "with a notification service" : "without one");
    notification_service_ = service;
    notifications_.clear();
    WriteIni(kSettledWithAlert);
    Reply(wire::kPricePath, "au,541.00,541.50\r\n");
    StartMini(Server().host());
    mini_->ToggleHidden();
    ASSERT_TRUE(QTest::qWaitFor([] { return Tray::IconShown(); }));

    Quote("au,542.30,542.80\r\n");
    ASSERT_EQ(notifications_.size(), 1U);
    EXPECT_EQ(notifications_.back().body, QStringLiteral("买入价 542.30 已高于 542.00"));
    EXPECT_EQ(Tray::MessagesShown(), 0);
    EXPECT_TRUE(Tray::CurrentTip().contains(QStringLiteral("已高于 542.00")));
    EXPECT_FALSE(mini_->isVisible());

    mini_->ToggleHidden();
    Quote("au,541.00,541.50\r\n");  // past the margin: armed again
    Quote("au,542.30,542.80\r\n");
    EXPECT_EQ(notifications_.size(), 2U);
    EXPECT_EQ(Tray::MessagesShown(), service ? 0 : 1);
    mini_.reset();
    Tray::DeleteTrayIcon();
  }
}

}  // namespace
