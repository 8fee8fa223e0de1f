// Start-up as a user meets it: first run, stored values of every kind, and the file it leaves.

#include <QAction>
#include <QGuiApplication>
#include <QScreen>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <cerrno>
#include <csignal>
#include <thread>

#include "net/wire_paths.h"
#include "settings/ini_class.h"
#include "shell/control.h"
#include "shell/quit_signals.h"
#include "shell/tray.h"
#include "tests/shell/widget_fixture.h"
#include "tests/support/loopback_port.h"

namespace {

using StartupTest = WidgetTest;

TEST_F(StartupTest, TrayIconJoinsTheAreaAfterTheFirstPaint) {
  Mini& mini = StartMini();
  // Added during start-up with its first tip, put into the notification area only once the
  // panel has been drawn.
  EXPECT_TRUE(Tray::HasIcon());
  EXPECT_EQ(Tray::CurrentTip(), QStringLiteral("Lumetta v1.0"));
  auto* icon = mini.findChild<QSystemTrayIcon*>();
  ASSERT_NE(icon, nullptr);
  EXPECT_EQ(icon->toolTip(), QStringLiteral("Lumetta v1.0"));
  mini.repaint();
  EXPECT_TRUE(QTest::qWaitFor([icon] { return icon->isVisible(); }, 5000));
  EXPECT_EQ(icon->toolTip(), QStringLiteral("Lumetta v1.0"));
}

// The quote's detail only feeds the tip: it is asked for once the panel has been drawn, never
// within the start-up that the first quote on screen waits for.
TEST_F(StartupTest, TheQuotesDetailIsAskedForAfterTheFirstPaint) {
  StartMini(Server().host());
  // Time enough for a request sent in the background to arrive, without drawing anything.
  std::this_thread::sleep_for(std::chrono::milliseconds(300));
  EXPECT_EQ(RequestCount(wire::kQuoteDetailPath), 0U);
  Settle();
  EXPECT_EQ(RequestCount(wire::kQuoteDetailPath), 1U);
}

TEST_F(StartupTest, FirstRunInAnEmptyFolder) {
  Mini& mini = StartMini();

  EXPECT_TRUE(mini.isVisible());
  EXPECT_EQ(mini.size(), QSize(350, 80));
  EXPECT_EQ(mini.Control("Price")->text(), QStringLiteral("正在加载报价..."));
  EXPECT_EQ(mini.Control("News")->text(), QStringLiteral("正在加载资讯..."));
  EXPECT_EQ(Tray::CurrentTip(), QStringLiteral("Lumetta v1.0"));
  EXPECT_EQ(mini.PriceTypeValue(), QStringLiteral("icbcrmbgold"));
  EXPECT_EQ(mini.TransparentValue(), 50);
  EXPECT_EQ(mini.IsLocked(), 0);
  EXPECT_FALSE(mini.MenuItem("Menu_LockForm")->isChecked());
  EXPECT_EQ(mini.windowOpacity(), 1.0);
  EXPECT_TRUE(mini.windowFlags().testFlag(Qt::WindowStaysOnTopHint));
  EXPECT_TRUE(mini.windowFlags().testFlag(Qt::FramelessWindowHint));

  // The default place keeps clear of the edges where an unlocked panel would hide.
  const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
  EXPECT_GT(mini.x(), screen.left() + 4);
  EXPECT_GT(mini.y(), screen.top() + 4);
  EXPECT_LE(mini.x() + mini.width(), screen.right());

  EXPECT_EQ(IniText(),
            "[System]\r\nPriceType=icbcrmbgold\r\nRefreshTime=5\r\nTransparent=50\r\nLockState="
            "UnLock\r\nAutoRun=False\r\n");
  EXPECT_EQ(Marked("Menu_PriceType"), QStringList{"Menu_ICBC_RMB_GOLD"});
  // The arrow spot shows the unchanged mark only.
  EXPECT_TRUE(mini.Control("MidImage")->isVisible());
  EXPECT_FALSE(mini.Control("UpImage")->isVisible());
  EXPECT_FALSE(mini.Control("DownImage")->isVisible());
}

TEST_F(StartupTest, StoredProductIsKeptOrReplaced) {
  WriteIni("[System]\r\nPriceType=CCBAU9999\r\n");
  EXPECT_EQ(StartMini().PriceTypeValue(), QStringLiteral("ccbau9999"));
  EXPECT_TRUE(mini_->MenuItem("Menu_CCB_AU9999")->isChecked());
  EXPECT_FALSE(mini_->MenuItem("Menu_ICBC_RMB_GOLD")->isChecked());

  for (const char* stored : {"silver", "", "icbc rmb gold"}) {
    WriteIni(std::string("[System]\r\nPriceType=") + stored + "\r\n");
    StartMini();
    EXPECT_EQ(mini_->PriceTypeValue(), QStringLiteral("icbcrmbgold")) << stored;
    EXPECT_EQ(mini_->Ini().GetIniString("System", "PriceType"), "icbcrmbgold") << stored;
  }
}

TEST_F(StartupTest, StoredPositionIsAppliedOnlyWhenBothArePositiveNumbers) {
  WriteIni("[System]\r\nLeft=1234.9\r\nTop=2000\r\n");
  StartMini();
  EXPECT_EQ(mini_->LeftTwips(), 1234);
  EXPECT_EQ(mini_->TopTwips(), 2000);
  EXPECT_EQ(mini_->pos(), QPoint(82, 133));

  const QPoint default_place = [this] {
    WriteIni("[System]\r\n");
    return StartMini().pos();
  }();
  for (const char* stored :
       {"Left=0\r\nTop=2000", "Left=2000\r\nTop=-300", "Left=2000", "Left=abc\r\nTop=2000",
        "Left=1e999\r\nTop=2000", "Left=0.9\r\nTop=2000", "Left=99999999999\r\nTop=2000",
        "Left=2147483647\r\nTop=2000", "Left=2000\r\nTop=491506"}) {
    WriteIni(std::string("[System]\r\n") + stored + "\r\n");
    EXPECT_EQ(StartMini().pos(), default_place) << stored;
  }
  // The far edge of what the window system can place is still taken as stored.
  WriteIni("[System]\r\nLeft=491505\r\nTop=+15\r\n");
  StartMini();
  EXPECT_EQ(mini_->LeftTwips(), 491505);
  EXPECT_EQ(mini_->TopTwips(), 15);
}

TEST_F(StartupTest, StoredOpacityMustBeOneOfTheSevenTexts) {
  for (const auto& [stored, expected] : std::vector<std::pair<std::string, int>>{
           {"055", 50}, {"55", 50}, {"050", 50}, {"", 50}, {"80", 80}, {"20", 20}}) {
    WriteIni("[System]\r\nTransparent=" + stored + "\r\n");
    EXPECT_EQ(StartMini().TransparentValue(), expected) << stored;
    EXPECT_EQ(mini_->Ini().GetIniString("System", "Transparent"), std::to_string(expected));
  }
}

TEST_F(StartupTest, ExitSavesThePositionAndRemovesTheIcon) {
  WriteIni("[System]\r\nLeft=1234\r\nTop=2000\r\n");
  Mini& mini = StartMini();
  ASSERT_TRUE(Tray::HasIcon());
  mini.MenuItem("Menu_Exit")->trigger();
  EXPECT_EQ(program_ends_, 1);
  EXPECT_FALSE(Tray::HasIcon());
  EXPECT_EQ(mini_->Ini().GetIniString("System", "Left"), "1234");
  EXPECT_EQ(mini_->Ini().GetIniString("System", "Top"), "2000");

  // A moved panel saves where it stands now.
  mini.move(300, 200);
  mini.ExitSystem();
  EXPECT_EQ(mini_->Ini().GetIniString("System", "Left"), "4500");
  EXPECT_EQ(mini_->Ini().GetIniString("System", "Top"), "3000");
  // And the next start puts it back there.
  StartMini();
  EXPECT_EQ(mini_->pos(), QPoint(300, 200));
}

TEST_F(StartupTest, ACloseRequestSavesThePositionLikeExit) {
  Mini& mini = StartMini();
  mini.move(400, 300);
  mini.close();
  EXPECT_EQ(program_ends_, 1);
  EXPECT_EQ(mini_->Ini().GetIniString("System", "Left"), "6000");
  EXPECT_EQ(mini_->Ini().GetIniString("System", "Top"), "4500");
  EXPECT_FALSE(Tray::HasIcon());
}

// Termination signals reach the event loop and save the place like exit; the handler leaves
// errno as it found it, and the first handler installed stays the only one.
TEST_F(StartupTest, TerminationSignalsSaveThePositionLikeExit) {
  Mini& mini = StartMini();
  mini.move(400, 300);
  shell::OnQuitSignal(&mini, [&mini] { mini.ExitSystem(); });
  int second_handler_calls = 0;
  shell::OnQuitSignal(&mini, [&second_handler_calls] { ++second_handler_calls; });

  errno = EDOM;
  ASSERT_EQ(::raise(SIGTERM), 0);
  EXPECT_EQ(errno, EDOM);
  EXPECT_TRUE(QTest::qWaitFor([this] { return program_ends_ == 1; }, 10000));
  EXPECT_EQ(mini_->Ini().GetIniString("System", "Left"), "6000");
  EXPECT_EQ(mini_->Ini().GetIniString("System", "Top"), "4500");
  EXPECT_FALSE(Tray::HasIcon());

  // Signals in a burst are all taken; none is lost and none blocks the sender.
  mini.move(500, 400);
  for (const int signal_number : {SIGHUP, SIGINT, SIGTERM}) ASSERT_EQ(::raise(signal_number), 0);
  EXPECT_TRUE(QTest::qWaitFor([this] { return program_ends_ >= 2; }, 10000));
  EXPECT_EQ(mini_->Ini().GetIniString("System", "Left"), "7500");
  EXPECT_EQ(second_handler_calls, 0);
}

// A server that takes the connection and never answers: start-up gives up within its budget,
// and afterwards no fetch holds the panel. Menu choices and the exit work while one hangs.
TEST_F(StartupTest, ASilentServerNeverFreezesThePanel) {
  const test_support::SilentPort silent;
  Mini& mini = StartMini("127.0.0.1:" + std::to_string(silent.port()));
  EXPECT_TRUE(mini.isVisible());
  EXPECT_EQ(mini.Control("Price")->text(), QStringLiteral("正在加载报价..."));

  mini.GetPrice();
  mini.NewsTick();
  mini.CheckUpDate(QStringLiteral("1"));
  // Each returned at once: the requests are still waiting for their answers.
  EXPECT_FALSE(mini.FetchesIdle());
  mini.MenuItem("Menu_LockForm")->trigger();
  EXPECT_EQ(mini.IsLocked(), -1);
  mini.MenuItem("Menu_Exit")->trigger();
  EXPECT_EQ(program_ends_, 1);
  EXPECT_TRUE(questions_.empty());
}

// A healthy server sees what it always saw: the start-up requests, then one quote request per
// refresh tick and the news list once, in tick order, each answered before the next of its kind.
TEST_F(StartupTest, AMinuteOfTicksAsksInTheSameOrderAsEver) {
  Reply(wire::kVersionPath, "1.0\r\nFalse\r\nd\r\nf\r\nhttp://dl.example/");
  Reply(wire::kPricePath, "icbcrmbgold,385.20,385.60\r\n");
  Reply(wire::kNewsPath, "金价走高|http://a/1\r\n");
  Mini& mini = StartMini(Server().host());
  // The timers' order over a minute at the 3 s refresh: a news tick every second, a quote
  // tick every third.
  for (int second = 1; second <= 60; ++second) {
    mini.NewsTick();
    Settle();
    if (second % 3 == 0) {
      mini.GetPrice();
      Settle();
    }
  }
  std::vector<std::string> paths;
  for (const auto& request : Server().Requests()) {
    const std::string path = request.target.substr(0, request.target.find('?'));
    // The counter and the quote detail run on their own.
    if (path != wire::kCountPath && path != wire::kQuoteDetailPath) paths.push_back(path);
  }
  std::vector<std::string> expected = {std::string(wire::kVersionPath),
                                       std::string(wire::kPricePath), std::string(wire::kNewsPath)};
  expected.insert(expected.end(), 20, std::string(wire::kPricePath));
  EXPECT_EQ(paths, expected);
  // Asked once at start-up; a server without it (404) is not asked again.
  EXPECT_EQ(RequestCount(wire::kQuoteDetailPath), 1U);
}

// A tick that finds its kind's request still out sends nothing and leaves nothing to send
// later; the other kind's requests are not held up by it.
TEST_F(StartupTest, ATickWhileItsKindIsStillOutSendsAndQueuesNothing) {
  Mini& mini = StartMini(Server().host());
  for (QTimer* timer : {mini.PriceTimer(), mini.NewsTimer(), mini.CountTimer()}) timer->stop();
  // The update check, the first quote, its detail (once the panel is drawn) and the
  // counter's own load, which Settle does not wait for.
  Settle();
  ASSERT_TRUE(Server().WaitForRequests(4, std::chrono::seconds(10)));
  lumetta_server::ScriptedReply held;
  held.no_answer = true;
  held.delay = std::chrono::milliseconds(300);
  for (const std::string_view path : {wire::kPricePath, wire::kNewsPath}) {
    Server().Script(std::string(path), held);
  }
  Server().ClearLog();
  // No headlines yet: each news tick loads them.
  mini.GetPrice();
  mini.NewsTick();
  // The requests go out as the event loop runs.
  ASSERT_TRUE(QTest::qWaitFor([this] { return Server().Requests().size() >= 2; }, 10000));
  for (int tick = 0; tick < 4; ++tick) {
    mini.GetPrice();
    mini.NewsTick();
  }
  EXPECT_FALSE(mini.FetchesIdle());
  Settle();
  // A request left waiting would go out as soon as the held one ends.
  EXPECT_FALSE(QTest::qWaitFor([this] { return Server().Requests().size() >= 3; }, 500));
  EXPECT_EQ(RequestCount(wire::kPricePath), 1U);
  EXPECT_EQ(RequestCount(wire::kNewsPath), 1U);
}

TEST_F(StartupTest, ExitBeforeStartUpWritesNoFile) {
  // Run from another empty folder: a write under a relative name would land there.
  QTemporaryDir working;
  ASSERT_TRUE(working.isValid());
  const QString old_directory = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(working.path()));
  Mini& mini = MakeMini();
  mini.ExitSystem();
  ASSERT_TRUE(QDir::setCurrent(old_directory));
  EXPECT_EQ(program_ends_, 1);
  const auto all_files = QDir::Files | QDir::Hidden | QDir::System;
  EXPECT_TRUE(QDir(folder_.path()).entryList(all_files).isEmpty());
  EXPECT_TRUE(QDir(working.path()).entryList(all_files).isEmpty());
}

TEST_F(StartupTest, AnUnwritableSettingsFileStillStarts) {
  // A folder where the file should be: reads give nothing and writes fail, silently.
  ASSERT_TRUE(QDir(folder_.path()).mkdir(QStringLiteral("System.ini")));
  Mini& mini = StartMini();
  EXPECT_TRUE(mini.isVisible());
  EXPECT_EQ(mini.PriceTypeValue(), QStringLiteral("icbcrmbgold"));
  EXPECT_EQ(mini.TransparentValue(), 50);
}

}  // namespace
