// The number on the panel never looks live when it is not: start-up waits for nothing while
// its question is open, and a quote that stopped updating says so.

#include <QDate>
#include <QDateTime>
#include <QDir>
#include <QTest>
#include <QTime>
#include <QTimer>

#include "net/wire_paths.h"
#include "shell/control.h"
#include "shell/tray.h"
#include "tests/shell/widget_fixture.h"
#include "tests/support/foreign_listener.h"

namespace {

using namespace std::chrono_literals;

class LiveQuoteTest : public WidgetTest {
 protected:
  QColor PriceColor() { return mini_->Control("Price")->palette().color(QPalette::WindowText); }
  QColor Grey() { return mini_->palette().color(QPalette::Disabled, QPalette::WindowText); }
  // A refresh tick after the panel's clocks have moved on.
  void TickAfter(std::chrono::milliseconds later) {
    clock_ahead_ += later;
    wall_now_ += later;
    mini_->GetPrice();
    Settle();
  }
};

TEST_F(LiveQuoteTest, NothingHappensWhileTheStartUpQuestionIsOpenAndItsTimeIsNotTheServers) {
  Reply(wire::kVersionPath, "1.1\r\nFalse\r\n2026-12-01\r\n更快\r\nhttp://dl.example/new");
  Reply(wire::kPricePath, "icbcrmbgold,385.20,385.60\r\n");
  Reply(wire::kNewsPath, "金价走高|http://a/1\r\n");
  Mini& mini = MakeMini(Server().host());
  const QString price_before = mini.Control("Price")->text();
  answer_ = false;
  while_asking_ = [&] {
    // Several seconds of events while the person reads the question.
    QTest::qWait(300);
    clock_ahead_ += 7s;
    EXPECT_EQ(Server().Requests().size(), 1U);
    EXPECT_TRUE(QDir(folder_.path()).entryList(QDir::Files).isEmpty());
    EXPECT_EQ(mini.Control("Price")->text(), price_before);
    for (QTimer* timer : {mini.PriceTimer(), mini.NewsTimer(), mini.HideTimer()}) {
      EXPECT_FALSE(timer->isActive()) << timer->objectName().toStdString();
    }
  };
  mini.Load();
  ASSERT_EQ(questions_.size(), 1U);
  // The first quote came within start-up, and the overdue news tick comes at once.
  EXPECT_TRUE(mini.Control("Price")->text().contains(QStringLiteral("385.20")));
  QCoreApplication::processEvents();
  Settle();
  EXPECT_EQ(mini.Control("News")->text(), QStringLiteral("金价走高"));
}

TEST_F(LiveQuoteTest, AQuoteThatStoppedTurnsGreyAndTheTipSaysSinceWhenUntilOneComesAgain) {
  Reply(wire::kPricePath, "icbcrmbgold,385.20,385.60\r\n");
  StartMini(Server().host());
  Reply(wire::kPricePath, "icbcrmbgold,385.50,385.90\r\n");
  // The tip gives the local time at which that quote came, 10:20:30.
  wall_now_ = std::chrono::system_clock::time_point(
      std::chrono::seconds(QDateTime(QDate(2026, 6, 15), QTime(10, 20, 27)).toSecsSinceEpoch()));
  TickAfter(3s);
  const QColor rise = PriceColor();
  const QString quote_tip = Tray::CurrentTip();
  ASSERT_TRUE(quote_tip.contains(QStringLiteral("385.50")));

  // The server goes on answering but no longer lists the product, then stops answering.
  Reply(wire::kPricePath, "gold,2650.1,2650.5\r\n");
  TickAfter(29s);
  EXPECT_EQ(PriceColor(), rise);
  EXPECT_EQ(Tray::CurrentTip(), quote_tip);
  lumetta_server::ScriptedReply failure;
  failure.status = 500;
  Server().Script(std::string(wire::kPricePath), failure);
  TickAfter(2s);
  EXPECT_EQ(PriceColor(), Grey());
  const QStringList lines = Tray::CurrentTip().split(QStringLiteral("\r\n"));
  EXPECT_EQ(lines.front(), QStringLiteral("行情暂停更新 最后报价 10:20:30"));
  // Above the last quote's own tip, which the tip's size limit may cut at its end.
  EXPECT_TRUE(Tray::CurrentTip().contains(quote_tip.trimmed()));
  EXPECT_TRUE(mini_->Control("Price")->text().contains(QStringLiteral("385.50")));

  Reply(wire::kPricePath, "icbcrmbgold,385.10,385.50\r\n");
  TickAfter(60s);
  EXPECT_NE(PriceColor(), Grey());
  EXPECT_TRUE(Tray::CurrentTip().contains(QStringLiteral("385.10")));
  EXPECT_FALSE(Tray::CurrentTip().contains(QStringLiteral("行情暂停更新")));
}

TEST_F(LiveQuoteTest, NoQuoteAtAllNamesTheServerAndAProductChoiceWaitsAfresh) {
  Mini& mini = StartMini("127.0.0.1:1");
  TickAfter(31s);
  EXPECT_EQ(PriceColor(), Grey());
  EXPECT_EQ(Tray::CurrentTip(), QStringLiteral("无法连接行情服务器 127.0.0.1:1"));
  mini.PriceChange(QStringLiteral("gold"));
  EXPECT_NE(PriceColor(), Grey());
  EXPECT_EQ(Tray::CurrentTip(), QStringLiteral("Lumetta v1.0"));
  TickAfter(29s);
  EXPECT_NE(PriceColor(), Grey());
}

// The grey comes when the age limit passes, on the slowest refresh too, without waiting for a
// refresh tick; after a product switch it belongs to the new product.
TEST_F(LiveQuoteTest, TheStaleSignComesWhenTheLimitPassesAndBelongsToTheSelectedProduct) {
  Reply(wire::kPricePath, "icbcrmbgold,385.20,385.60\r\n");
  Mini& mini = StartMini(Server().host());
  Settle();
  QString slow = QStringLiteral("10");
  mini.ChangeRefreshTime(slow);
  TickAfter(1s);
  auto* stale_timer = mini.findChild<QTimer*>(QStringLiteral("StaleTimer"));
  ASSERT_NE(stale_timer, nullptr);
  const auto fire = [&](std::chrono::milliseconds later) {
    clock_ahead_ += later;
    ASSERT_TRUE(stale_timer->isActive());
    QMetaObject::invokeMethod(stale_timer, "timeout");
  };
  // Early, as a coarse timer may be: nothing shows, and it waits for the rest.
  const std::chrono::milliseconds wait(stale_timer->interval());
  EXPECT_GT(wait, 29s);
  fire(wait - 2ms);
  EXPECT_NE(PriceColor(), Grey());
  EXPECT_LE(stale_timer->interval(), 3);
  fire(2ms);
  EXPECT_EQ(PriceColor(), Grey());
  EXPECT_TRUE(Tray::CurrentTip().startsWith(QStringLiteral("行情暂停更新 最后报价 ")));
  EXPECT_FALSE(stale_timer->isActive());

  // A product the server does not list: its own wait, and then the server is named, not the
  // time of the other product's last quote.
  mini.PriceChange(QStringLiteral("gold"));
  Settle();
  EXPECT_NE(PriceColor(), Grey());
  fire(std::chrono::milliseconds(stale_timer->interval()));
  EXPECT_EQ(PriceColor(), Grey());
  EXPECT_EQ(Tray::CurrentTip(), QStringLiteral("无法连接行情服务器 ") + Server().host().c_str());
}

// A timer whose first interval had not passed when start-up ended ticks first when it ends,
// counted from the panel's creation, not a whole interval after start-up.
TEST_F(LiveQuoteTest, TimersTickFirstWhenTheirFirstIntervalEndsCountedFromCreation) {
  Reply(wire::kPricePath, "icbcrmbgold,385.20,385.60\r\n");
  Mini& mini = MakeMini(Server().host());
  // Start-up took all but a moment of the 5 s refresh.
  clock_ahead_ += 4900ms;
  mini.Load();
  ASSERT_EQ(RequestCount(wire::kPricePath), 1U);
  EXPECT_TRUE(QTest::qWaitFor([&] { return RequestCount(wire::kPricePath) == 2U; }, 2500));
  EXPECT_EQ(mini.PriceTimer()->interval(), 5000);
}

// Another account's server on the configured address: the panel starts, sends it nothing,
// shows and opens nothing of it, and its tip says why.
TEST_F(LiveQuoteTest, AnotherUsersServerIsUnreachableAndTheTipSaysWhy) {
  test_support::ForeignListener foreign;
  if (!foreign.Available()) GTEST_SKIP() << "needs root to listen as another user";
  const std::string host = "127.0.0.1:" + std::to_string(foreign.port());
  Mini& mini = StartMini(host);
  const QString loading = mini.Control("Price")->text();
  TickAfter(31s);
  EXPECT_EQ(PriceColor(), Grey());
  EXPECT_EQ(mini.Control("Price")->text(), loading);
  EXPECT_EQ(Tray::CurrentTip(), QString::fromStdString("行情服务器 " + host + " 属于其他用户"));
  mini.MenuItem("Menu_About")->trigger();
  mini.Control("OtherImage")->on_click();
  EXPECT_TRUE(opened_pages_.empty());
  mini_.reset();
  EXPECT_EQ(foreign.StopAndCountBytes(), 0);
}

}  // namespace
