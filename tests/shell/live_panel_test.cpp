// The panel against lumetta-server --live whose public sources are loopback replicas: the
// source named in the tip, a closed market's last price drawn stale with its own time, and a
// product the server has no source for, all from what the live mode really serves.

#include <QDateTime>
#include <QTest>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/wire_paths.h"
#include "shell/control.h"
#include "shell/tray.h"
#include "tests/shell/widget_fixture.h"
#include "tests/support/raw_client.h"
#include "tests/support/server_process.h"
#include "tests/support/source_replica.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace std::chrono_literals;

// The replica's spot gold quote: its market time is 2026-06-15 15:30:01 at +08:00.
constexpr std::int64_t kMarketTime = 1781508601;

class LivePanelTest : public WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    ASSERT_TRUE(replica_.running());
    replica_.SetQuote(
        "sina", "hf_XAU",
        {"4412.60", "4412.50", "4412.95", "4441.07", "4362.46", "4371.82", "4368.00"});
    const std::string file = sources_folder_.File("live-sources.ini");
    test_support::WriteBytes(
        file, test_support::ReplicaSourcesFile(test_support::ReadBytes(LUMETTA_SHIPPED_SOURCES),
                                               replica_.Base(), 1));
    server_process_.emplace(std::vector<std::string>{"--live", "--sources", file, "--port", "0"});
    host_ = server_process_->Host();
    ASSERT_FALSE(host_.empty());
    // The panel starts once the server holds the quote, so that start-up's quote is the live one.
    for (int attempt = 0; attempt < 300 && !ServerHasGold(); ++attempt) {
      std::this_thread::sleep_for(50ms);
    }
    ASSERT_TRUE(ServerHasGold());
  }

  bool ServerHasGold() {
    lumetta_test::RawClient client;
    const std::string list =
        client.Get("http://" + host_ + std::string(wire::kPricePath) + "?Type=0&r=1").body;
    return list.find("au,4412.50,4412.95\r\n") != std::string::npos;
  }

  // Starts on spot gold with the wall clock `after` the quote's market time; two quotes come.
  void StartOnGold(std::chrono::seconds after) {
    wall_now_ = std::chrono::system_clock::time_point(std::chrono::seconds(kMarketTime) + after);
    WriteIni("[System]\r\nPriceType=au\r\n");
    StartMini(host_);
    Settle();
    clock_ahead_ += 3s;
    mini_->GetPrice();
    Settle();
  }

  bool DrawnStale() {
    return mini_->Control("Price")->palette().color(QPalette::WindowText) ==
           mini_->palette().color(QPalette::Disabled, QPalette::WindowText);
  }

  test_support::SourceReplica replica_;
  test_support::TempFolder sources_folder_;
  std::optional<test_support::ServerProcess> server_process_;
  std::string host_;
};

TEST_F(LivePanelTest, ALiveQuoteNamesItsSourceAndAClosedMarketsLastPriceIsStaleWithItsDate) {
  const QString source_line = QStringLiteral("来源 新浪财经 hf_XAU");
  // Five minutes after the quote's market time: live.
  StartOnGold(5min);
  EXPECT_TRUE(mini_->Control("Price")->text().contains(QStringLiteral("4412.95")));
  EXPECT_FALSE(DrawnStale());
  EXPECT_TRUE(Tray::CurrentTip().contains(source_line)) << Tray::CurrentTip().toStdString();
  EXPECT_FALSE(Tray::CurrentTip().contains(QStringLiteral("行情暂停更新")));
  mini_.reset();

  // The next day the source still sends Friday's last quote: the market is closed.
  StartOnGold(24h);
  EXPECT_TRUE(DrawnStale());
  const QString market_time =
      QDateTime::fromSecsSinceEpoch(kMarketTime).toString(QStringLiteral("MM-dd HH:mm:ss"));
  EXPECT_TRUE(Tray::CurrentTip().startsWith(QStringLiteral("行情暂停更新 最后报价 ") + market_time))
      << Tray::CurrentTip().toStdString();
  EXPECT_TRUE(mini_->Control("Price")->text().contains(QStringLiteral("4412.95")));
}

TEST_F(LivePanelTest, AProductWithoutASourceSaysSoInTheTip) {
  StartOnGold(5min);
  mini_->PriceChange(QStringLiteral("gt"));
  Settle();
  clock_ahead_ += 31s;
  mini_->GetPrice();
  Settle();
  EXPECT_TRUE(DrawnStale());
  EXPECT_EQ(Tray::CurrentTip(), QStringLiteral("行情服务器没有香港黄金的行情源"));
}

}  // namespace
