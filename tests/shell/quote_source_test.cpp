// The selected product's detail from /Soft/Quote.asp: the tip names the source, a closed
// market's price is drawn stale, a product without a source says so, and a server without
// the endpoint leaves the panel as it was. Replies are scripted on the local quote server.

#include <QDateTime>
#include <QRegularExpression>
#include <QTest>
#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "net/wire_paths.h"
#include "shell/control.h"
#include "shell/tray.h"
#include "tests/shell/widget_fixture.h"
#include "text/tray_tip.h"

namespace {

using namespace std::chrono_literals;

// The tip of a second quote of spot gold, as the design composes it.
const QString kGoldTip = QStringLiteral(
    "\r\n   [现货黄金]   \r\n\r\n   买入价:2330.60   \r\n\r\n   卖出价:2331.10   \r\n");
const QString kSourceLine = QStringLiteral("\r\n来源 新浪财经 hf_XAU");
// 2330.60 against the detail's open of 2320.00.
const QString kSinceOpenLine = QStringLiteral("\r\n较开盘 +10.60 (+0.46%)");

// What the 127-byte tip field shows of a tip: the design's lines first, the rest cut.
QString Shown(const QString& tip) {
  return QString::fromStdString(Tray::TipText(tip.toStdString()));
}

// Unix seconds of a local time on the test's day (2026-06-15) or the day before.
std::int64_t Local(int day, int hour, int minute, int second) {
  return QDateTime(QDate(2026, 6, day), QTime(hour, minute, second)).toSecsSinceEpoch();
}

// A live detail of spot gold with the given market time.
std::string LiveGold(std::int64_t market_time) {
  return "code=au\r\nstatus=live\r\nsource=新浪财经\r\nsymbol=hf_XAU\r\nshown=bidask\r\ntime=" +
         std::to_string(market_time) + "\r\nopen=2320.00\r\n";
}

class QuoteSourceTest : public WidgetTest {
 protected:
  // Noon on the test's day by the panel's wall clock.
  void SetUp() override {
    WidgetTest::SetUp();
    SetWallClock(Local(15, 12, 0, 0));
  }
  // Starts on spot gold and applies two quotes, so that the tip shows the quote.
  void StartOnGold(const std::string& code = "au") {
    WriteIni("[System]\r\nPriceType=" + code + "\r\n");
    Reply(wire::kPricePath, "au,2330.50,2331.00\r\n");
    StartMini(Server().host());
    Settle();
    Reply(wire::kPricePath, "au,2330.60,2331.10\r\n");
    TickAfter(1s);
  }
  // A refresh tick after the panel's monotonic clock has moved on.
  void TickAfter(std::chrono::milliseconds later) {
    clock_ahead_ += later;
    mini_->GetPrice();
    Settle();
  }
  void SetWallClock(std::int64_t seconds) {
    wall_now_ = std::chrono::system_clock::time_point(std::chrono::seconds(seconds));
  }
  void ScriptDetail(int status, const std::string& body = {}) {
    if (status == 200) {
      Reply(wire::kQuoteDetailPath, body);
      return;
    }
    lumetta_server::ScriptedReply reply;
    reply.status = status;
    Server().Script(std::string(wire::kQuoteDetailPath), reply);
  }
  size_t DetailsAsked() const { return RequestCount(wire::kQuoteDetailPath); }
  bool DrawnStale() {
    return mini_->Control("Price")->palette().color(QPalette::WindowText) ==
           mini_->palette().color(QPalette::Disabled, QPalette::WindowText);
  }
};

struct DetailCase {
  const char* name;
  int status;
  std::string body;
  // The tip after two quotes and whether the price is drawn stale.
  QString tip;
  bool stale;
  friend void PrintTo(const DetailCase& each, std::ostream* out) { *out << each.name; }
};

class DetailReplyTest : public QuoteSourceTest, public ::testing::WithParamInterface<DetailCase> {};

TEST_P(DetailReplyTest, DecidesTheSourceLineAndTheStaleSign) {
  ScriptDetail(GetParam().status, GetParam().body);
  StartOnGold();
  EXPECT_EQ(Tray::CurrentTip(), GetParam().tip);
  EXPECT_EQ(DrawnStale(), GetParam().stale);
  EXPECT_TRUE(mini_->Control("Price")->text().contains(QStringLiteral("2331.10")));
}

INSTANTIATE_TEST_SUITE_P(
    Replies, DetailReplyTest,
    ::testing::Values(
        // A server without the endpoint, a failing one, and a reply about another product
        // leave the design's tip alone.
        DetailCase{"NoEndpoint", 404, "", kGoldTip, false},
        DetailCase{"ServerError", 500, "", kGoldTip, false},
        DetailCase{"AnotherProduct", 200, "code=ag\r\nstatus=live\r\nsource=新浪财经\r\n", kGoldTip,
                   false},
        DetailCase{"LiveNow", 200, LiveGold(Local(15, 11, 59, 58)),
                   kGoldTip + kSinceOpenLine + kSourceLine, false},
        // Quotes keep coming, but their market time is yesterday's: the market is closed.
        DetailCase{"ClosedSinceYesterday", 200, LiveGold(Local(14, 15, 30, 1)),
                   Shown(QStringLiteral("行情暂停更新 最后报价 06-14 15:30:01") + kGoldTip +
                         kSinceOpenLine + kSourceLine),
                   true},
        // No market time: the sign goes by the arrival of quotes.
        DetailCase{"WaitingWithoutTime", 200,
                   "code=au\r\nstatus=waiting\r\nsource=新浪财经\r\nsymbol=hf_XAU\r\n",
                   kGoldTip + kSourceLine, false}),
    [](const ::testing::TestParamInfo<DetailCase>& info) { return info.param.name; });

// The detail is asked for at start-up and then on the first tick a minute later, never
// sooner; each answer decides the sign afresh.
TEST_F(QuoteSourceTest, TheMarketTimeIsAskedForOnceAMinuteAndDecidesTheSign) {
  ScriptDetail(200, LiveGold(Local(14, 15, 30, 1)));
  StartOnGold();
  ASSERT_TRUE(DrawnStale());
  ScriptDetail(200, LiveGold(Local(15, 11, 59, 0)));
  TickAfter(25s);
  TickAfter(25s);
  EXPECT_EQ(DetailsAsked(), 1U);
  EXPECT_TRUE(DrawnStale());
  TickAfter(10s);
  EXPECT_EQ(DetailsAsked(), 2U);
  EXPECT_FALSE(DrawnStale());
  EXPECT_EQ(Tray::CurrentTip(), kGoldTip + kSinceOpenLine + kSourceLine);

  // Ten minutes after the market time it is still live; a second later it is stale, with
  // today's time only, although quotes still come.
  SetWallClock(Local(15, 12, 9, 0));
  TickAfter(1s);
  EXPECT_FALSE(DrawnStale());
  SetWallClock(Local(15, 12, 9, 1));
  TickAfter(1s);
  EXPECT_TRUE(DrawnStale());
  EXPECT_EQ(Tray::CurrentTip(), Shown(QStringLiteral("行情暂停更新 最后报价 11:59:00") + kGoldTip +
                                      kSinceOpenLine + kSourceLine));
}

// A switch asks at once about the new product, within the minute, and the old product's
// source leaves the tip; a reply still about the old product is not taken for the new one.
TEST_F(QuoteSourceTest, ASwitchAsksAboutTheNewProductAtOnce) {
  ScriptDetail(200, LiveGold(Local(15, 11, 59, 58)));
  StartOnGold();
  mini_->PriceChange(QStringLiteral("AG"));
  Settle();
  const auto requests = server_->Requests();
  std::vector<std::string> codes;
  for (const auto& request : requests) {
    if (!request.target.starts_with(wire::kQuoteDetailPath)) continue;
    codes.push_back(request.target.substr(0, request.target.find("&r=")));
  }
  EXPECT_EQ(codes,
            (std::vector<std::string>{"/Soft/Quote.asp?code=au", "/Soft/Quote.asp?code=ag"}));
  EXPECT_FALSE(Tray::CurrentTip().contains(QStringLiteral("来源")));
}

// While no quote has come, a product without a source says so; a server without the endpoint
// is named as unreachable, as before.
TEST_F(QuoteSourceTest, AProductWithoutASourceSaysSoInsteadOfNamingAnUnreachableServer) {
  ScriptDetail(200, "code=gt\r\nstatus=nosource\r\n");
  StartOnGold("gt");
  TickAfter(30s);
  EXPECT_TRUE(DrawnStale());
  EXPECT_EQ(Tray::CurrentTip(), QStringLiteral("行情服务器没有香港黄金的行情源"));

  ScriptDetail(404);
  mini_->PriceChange(QStringLiteral("pa"));
  Settle();
  TickAfter(31s);
  EXPECT_EQ(Tray::CurrentTip(), QStringLiteral("无法连接行情服务器 ") + Server().host().c_str());
}

// Without the endpoint the sign goes by the arrival of quotes with the time of day, as before,
// and the server is not asked again until another product is chosen.
TEST_F(QuoteSourceTest, A404LeavesTheOldStaleRuleAndIsNotAskedAgain) {
  StartOnGold();
  for (int tick = 0; tick < 6; ++tick) TickAfter(20s);
  EXPECT_FALSE(DrawnStale());
  EXPECT_EQ(DetailsAsked(), 1U);

  lumetta_server::ScriptedReply failure;
  failure.status = 500;
  Server().Script(std::string(wire::kPricePath), failure);
  TickAfter(31s);
  EXPECT_TRUE(DrawnStale());
  EXPECT_TRUE(QRegularExpression(QStringLiteral("^行情暂停更新 最后报价 \\d\\d:\\d\\d:\\d\\d\r\n"))
                  .match(Tray::CurrentTip())
                  .hasMatch())
      << Tray::CurrentTip().toStdString();
  EXPECT_TRUE(Tray::CurrentTip().endsWith(kGoldTip));

  mini_->PriceChange(QStringLiteral("ag"));
  Settle();
  EXPECT_EQ(DetailsAsked(), 2U);
}

}  // namespace
