// The quote feed through the panel: selection, the fetch and its display, the refresh speed.
// Replies come from the local quote server, scripted per test.

#include <QAction>
#include <QRegularExpression>
#include <QTimer>

#include "net/wire_paths.h"
#include "settings/ini_class.h"
#include "shell/control.h"
#include "shell/tray.h"
#include "tests/shell/widget_fixture.h"

namespace {

class QuotesTest : public WidgetTest {
 protected:
  Mini& StartWith(const std::string& ini, const std::string& first_reply) {
    WriteIni(ini);
    Reply(wire::kPricePath, first_reply);
    return StartMini(Server().host());
  }

  QString Caption() { return mini_->Control("Price")->text(); }
  QString Record() { return QString::fromStdString(mini_->Quotes().Record()); }
  QColor PriceColor() { return mini_->Control("Price")->palette().color(QPalette::WindowText); }
  // Which trend mark shows: "up", "mid", "down", or a list when several do.
  std::string Mark() {
    std::string marks;
    if (mini_->Control("UpImage")->isVisible()) marks += "up";
    if (mini_->Control("MidImage")->isVisible()) marks += "mid";
    if (mini_->Control("DownImage")->isVisible()) marks += "down";
    return marks;
  }
  std::vector<std::string> CheckedProducts() {
    std::vector<std::string> checked;
    for (const QString& name : Marked("Menu_PriceType")) checked.push_back(name.toStdString());
    return checked;
  }
  std::string VisibleShortcut() {
    std::string shown;
    for (const char* name : {"ICBCImage", "CCBImage", "BOCImage", "OtherImage"}) {
      if (mini_->Control(name)->isVisible()) shown += name;
    }
    return shown;
  }
};

TEST_F(QuotesTest, FirstRunSelectsTheDefaultProductAndSpeed) {
  Mini& mini = StartWith("", "icbcrmbgold,385.20,385.60\r\n");
  EXPECT_EQ(IniText(),
            "[System]\r\nPriceType=icbcrmbgold\r\nRefreshTime=5\r\nTransparent=50\r\nLockState="
            "UnLock\r\nAutoRun=False\r\n");
  EXPECT_EQ(CheckedProducts(), std::vector<std::string>{"Menu_ICBC_RMB_GOLD"});
  EXPECT_EQ(Marked("Menu_Speed"), QStringList{"Menu_Speed_Normal"});
  EXPECT_EQ(mini.PriceTimer()->interval(), 5000);
  EXPECT_EQ(VisibleShortcut(), "ICBCImage");
  EXPECT_EQ(mini.Control("PriceType")->text(), QStringLiteral("￥纸黄金"));
  EXPECT_EQ(Caption(), QStringLiteral("买入:385.20 卖出:385.60"));

  // One quote request, with a fresh cache-busting number in the plain form.
  std::vector<lumetta_server::LoggedRequest> requests;
  for (const auto& request : Server().Requests()) {
    if (request.target.starts_with(wire::kPricePath)) requests.push_back(request);
  }
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_TRUE(QRegularExpression(QStringLiteral(R"(^/Soft/Price\.asp\?Type=0&r=\d{1,10}(\.\d+)?$)"))
                  .match(QString::fromStdString(requests[0].target))
                  .hasMatch())
      << requests[0].target;
}

TEST_F(QuotesTest, RiseFallAndFlatWithTheTrayTip) {
  Mini& mini = StartWith("[System]\r\nPriceType=rmb\r\n", "rmb,270.50,271.10\r\n");
  // The first quote sets the caption and the record only.
  EXPECT_EQ(Caption(), QStringLiteral("买入:270.50 卖出:271.10"));
  EXPECT_EQ(Record(), QStringLiteral("rmb|270.50|271.10"));
  EXPECT_EQ(Mark(), "mid");
  EXPECT_EQ(Tray::CurrentTip(), QStringLiteral("Lumetta v1.0"));

  Reply(wire::kPricePath, "gold,1900.1,1901.2\r\nRMB,270.60,271.20\r\nag,5.1,5.2\r\n");
  mini.GetPrice();
  Settle();
  EXPECT_EQ(Caption(), QStringLiteral("买入:270.60 卖出:271.20"));
  EXPECT_EQ(Mark(), "up");
  EXPECT_EQ(PriceColor(), QColor(255, 0, 0));
  EXPECT_EQ(Record(), QStringLiteral("RMB|270.60|271.20"));
  EXPECT_EQ(Tray::CurrentTip(),
            QStringLiteral("\r\n   [Zentrova人民币黄金]   \r\n\r\n   买入价:270.60   \r\n\r\n"
                           "   卖出价:271.20   \r\n"));

  Reply(wire::kPricePath, "rmb,270.1,271.2\r\n");
  mini.GetPrice();
  Settle();
  EXPECT_EQ(Mark(), "down");
  EXPECT_EQ(PriceColor(), QColor(0, 192, 0));

  // Equal in single precision; a changed sell price alone does not count.
  Reply(wire::kPricePath, "rmb,270.10,272.00\r\n");
  mini.GetPrice();
  Settle();
  EXPECT_EQ(Mark(), "mid");
  EXPECT_EQ(PriceColor(), mini.ButtonTextColor());
  EXPECT_TRUE(Tray::CurrentTip().contains(QStringLiteral("卖出价:272.00")));
}

TEST_F(QuotesTest, RepliesThatChangeNothing) {
  Mini& mini = StartWith("[System]\r\nPriceType=rmb\r\n", "rmb,270.50,271.10\r\n");
  Reply(wire::kPricePath, "rmb,270.60,271.20\r\n");
  mini.GetPrice();
  Settle();
  const QString caption = Caption();
  const QString record = Record();
  const QString tip = Tray::CurrentTip();
  ASSERT_EQ(Mark(), "up");

  const std::vector<std::string> replies = {
      "rmb,280.00,281.00",                             // no line end at all
      "rmb,280.00,281.00,x\r\nrmb,280.00,281.00\r\n",  // four fields first
      "\r\nrmb,280.00,281.00\r\n",                     // empty first line
      "gold 1900\r\nrmb,280.00,281.00\r\n",            // no comma
      "gold,1900.00,1901.00\r\n",                      // no line of the product
      "",
  };
  for (const std::string& reply : replies) {
    Reply(wire::kPricePath, reply);
    mini.GetPrice();
    Settle();
    EXPECT_EQ(Caption(), caption) << reply;
    EXPECT_EQ(Record(), record) << reply;
    EXPECT_EQ(Mark(), "up") << reply;
    EXPECT_EQ(Tray::CurrentTip(), tip) << reply;
  }
  // A server error with a body, and a server that is gone.
  lumetta_server::ScriptedReply failure;
  failure.status = 500;
  failure.body = "rmb,280.00,281.00\r\n";
  Server().Script(std::string(wire::kPricePath), failure);
  mini.GetPrice();
  Settle();
  Server().Stop();
  mini.GetPrice();
  Settle();
  EXPECT_EQ(Caption(), caption);
  EXPECT_EQ(Record(), record);
}

TEST_F(QuotesTest, TwoLinesForTheProductAndANonNumericBuy) {
  Mini& mini = StartWith("[System]\r\nPriceType=rmb\r\n", "rmb,270.50,271.10\r\n");
  Reply(wire::kPricePath, "rmb,270.40,271.00\r\nrmb,270.45,271.05\r\n");
  mini.GetPrice();
  Settle();
  // The second line is compared against the first one's record.
  EXPECT_EQ(Caption(), QStringLiteral("买入:270.45 卖出:271.05"));
  EXPECT_EQ(Mark(), "up");
  EXPECT_EQ(Record(), QStringLiteral("rmb|270.45|271.05"));
  EXPECT_TRUE(Tray::CurrentTip().contains(QStringLiteral("270.45")));

  const QString tip = Tray::CurrentTip();
  Reply(wire::kPricePath, "rmb,n/a,271.00\r\n");
  mini.GetPrice();
  Settle();
  EXPECT_EQ(Caption(), QStringLiteral("买入:n/a 卖出:271.00"));
  EXPECT_EQ(Record(), QStringLiteral("rmb|n/a|271.00"));
  EXPECT_EQ(Mark(), "up");
  EXPECT_EQ(Tray::CurrentTip(), tip);
  // And the next good quote has nothing to compare with.
  Reply(wire::kPricePath, "rmb,270.00,271.00\r\n");
  mini.GetPrice();
  Settle();
  EXPECT_EQ(Mark(), "up");
  EXPECT_EQ(Record(), QStringLiteral("rmb|270.00|271.00"));
}

TEST_F(QuotesTest, SwitchingProductsKeepsTheOldRecordForOneQuote) {
  Mini& mini = StartWith("[System]\r\nPriceType=rmb\r\n", "rmb,270.50,271.10\r\n");
  Reply(wire::kPricePath, "rmb,270.60,271.20\r\n");
  mini.GetPrice();
  Settle();
  const QString rmb_tip = Tray::CurrentTip();

  // The gold line is missing at first: the loading state stays, flat and plain.
  Reply(wire::kPricePath, "rmb,270.70,271.20\r\n");
  mini.MenuItem("Menu_ICBC_USD_SILVER")->trigger();
  Settle();
  EXPECT_EQ(mini_->Ini().GetIniString("System", "PriceType"), "icbcusdsilver");
  EXPECT_EQ(mini.PriceTypeValue(), QStringLiteral("icbcusdsilver"));
  EXPECT_EQ(VisibleShortcut(), "ICBCImage");
  EXPECT_EQ(mini.Control("PriceType")->text(), QStringLiteral("＄纸白银"));
  EXPECT_EQ(CheckedProducts(), std::vector<std::string>{"Menu_ICBC_USD_SILVER"});
  EXPECT_EQ(Caption(), QStringLiteral("正在加载报价..."));
  EXPECT_EQ(Mark(), "mid");
  EXPECT_EQ(PriceColor(), mini.ButtonTextColor());

  Reply(wire::kPricePath, "icbcusdsilver,24.10,24.30\r\n");
  mini.GetPrice();
  Settle();
  EXPECT_EQ(Caption(), QStringLiteral("买入:24.10 卖出:24.30"));
  EXPECT_EQ(Mark(), "mid");
  EXPECT_EQ(Tray::CurrentTip(), rmb_tip);

  Reply(wire::kPricePath, "icbcusdsilver,24.00,24.30\r\n");
  mini.GetPrice();
  Settle();
  EXPECT_EQ(Mark(), "down");
  EXPECT_TRUE(Tray::CurrentTip().contains(QStringLiteral("[工商银行美元白银]")));

  for (const auto& [item, shortcut, label] :
       std::vector<std::tuple<const char*, const char*, QString>>{
           {"Menu_GOLD", "OtherImage", QStringLiteral("＄纸黄金")},
           {"Menu_BOC_USD_GOLD", "BOCImage", QStringLiteral("＄纸黄金")},
           {"Menu_CCB_AU9999", "CCBImage", QStringLiteral("AU9999")},
           {"Menu_PA", "OtherImage", QStringLiteral("现货钯金")}}) {
    mini.MenuItem(item)->trigger();
    Settle();
    EXPECT_EQ(VisibleShortcut(), shortcut) << item;
    EXPECT_EQ(mini.Control("PriceType")->text(), label) << item;
    EXPECT_EQ(CheckedProducts(), std::vector<std::string>{item});
  }
}

TEST_F(QuotesTest, CodesInAnyCaseAndCodesOutsideTheCatalogue) {
  Mini& mini = StartWith("[System]\r\nPriceType=ICBCRMBGOLD\r\n", "icbcrmbgold,1,2\r\n");
  EXPECT_EQ(mini_->Ini().GetIniString("System", "PriceType"), "icbcrmbgold");
  EXPECT_EQ(mini.PriceTypeValue(), QStringLiteral("icbcrmbgold"));

  mini.PriceChange(QStringLiteral("Ccb AU9995"));  // not a code: a space
  Settle();
  EXPECT_EQ(mini_->Ini().GetIniString("System", "PriceType"), "ccb au9995");

  mini.PriceChange(QStringLiteral("AuGold"));
  Settle();
  EXPECT_EQ(mini.PriceTypeValue(), QStringLiteral("augold"));
  // Label, logo and marks stay with the last known product; the price area resets.
  EXPECT_EQ(VisibleShortcut(), "ICBCImage");
  EXPECT_EQ(CheckedProducts(), std::vector<std::string>{"Menu_ICBC_RMB_GOLD"});
  EXPECT_EQ(Caption(), QStringLiteral("正在加载报价..."));
  EXPECT_TRUE(mini.GetPriceType(QStringLiteral("augold")).isEmpty());
  EXPECT_EQ(mini.GetPriceType(QStringLiteral("RMB")), QStringLiteral("Zentrova人民币黄金"));
  EXPECT_EQ(mini.GetPriceType(QStringLiteral("ccbau9999")), QStringLiteral("建设银行AU9999"));
  EXPECT_TRUE(mini.GetPriceType(QString()).isEmpty());

  // The server does send it: the tip's brackets are empty.
  Reply(wire::kPricePath, "AUGOLD,500.00,501.00\r\n");
  mini.GetPrice();
  Settle();
  mini.GetPrice();
  Settle();
  EXPECT_EQ(
      Tray::CurrentTip(),
      QStringLiteral("\r\n   []   \r\n\r\n   买入价:500.00   \r\n\r\n   卖出价:501.00   \r\n"));

  // Choosing the selected product again runs the whole selection and fetches at once.
  mini.PriceChange(QStringLiteral("IcbcRmbGold"));
  Settle();
  Reply(wire::kPricePath, "icbcrmbgold,2,3\r\n");
  mini.MenuItem("Menu_ICBC_RMB_GOLD")->trigger();
  Settle();
  Reply(wire::kPricePath, "icbcrmbgold,3,4\r\n");
  mini.GetPrice();
  Settle();
  ASSERT_EQ(Mark(), "up");
  const size_t before = RequestCount(wire::kPricePath);
  Reply(wire::kPricePath, "gold,1,2\r\n");
  mini.MenuItem("Menu_ICBC_RMB_GOLD")->trigger();
  Settle();
  EXPECT_EQ(RequestCount(wire::kPricePath), before + 1);
  EXPECT_EQ(Mark(), "mid");
  EXPECT_EQ(Caption(), QStringLiteral("正在加载报价..."));
  EXPECT_TRUE(mini.MenuItem("Menu_ICBC_RMB_GOLD")->isChecked());
}

TEST_F(QuotesTest, RefreshSpeedFromTheMenuAndFromTheFile) {
  Mini& mini = StartWith("[System]\r\nRefreshTime=3\r\n", "");
  EXPECT_EQ(mini.PriceTimer()->interval(), 3000);
  EXPECT_TRUE(mini.MenuItem("Menu_Speed_Quick")->isChecked());

  const size_t fetches = RequestCount(wire::kPricePath);
  for (const auto& [item, seconds, interval] :
       std::vector<std::tuple<const char*, const char*, int>>{{"Menu_Speed_Slow", "10", 10000},
                                                              {"Menu_Speed_Slow", "10", 10000},
                                                              {"Menu_Speed_Normal", "5", 5000},
                                                              {"Menu_Speed_Quick", "3", 3000}}) {
    mini.MenuItem(item)->trigger();
    Settle();
    EXPECT_EQ(mini.PriceTimer()->interval(), interval) << item;
    EXPECT_TRUE(mini.PriceTimer()->isActive());
    EXPECT_EQ(mini_->Ini().GetIniString("System", "RefreshTime"), seconds);
    EXPECT_EQ(mini.RefreshTimeValue(), QString::fromLatin1(seconds));
    EXPECT_EQ(Marked("Menu_Speed"), QStringList{item});
  }
  EXPECT_EQ(RequestCount(wire::kPricePath), fetches);  // a click never fetches

  for (const char* stored : {"7", "05", "3.0", ""}) {
    WriteIni(std::string("[System]\r\nRefreshTime=") + stored + "\r\n");
    StartMini(Server().host());
    EXPECT_EQ(mini_->PriceTimer()->interval(), 5000) << stored;
    EXPECT_EQ(mini_->Ini().GetIniString("System", "RefreshTime"), "5") << stored;
    // The panel's own idea of the speed is the normalised one too.
    EXPECT_EQ(mini_->RefreshTimeValue(), QStringLiteral("5")) << stored;
    EXPECT_TRUE(mini_->MenuItem("Menu_Speed_Normal")->isChecked()) << stored;
  }
}

}  // namespace
