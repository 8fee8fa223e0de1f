// Price alerts through the panel: the dialog's checks and what it stores, the menu's mark, and
// the notification when a quote crosses a level.

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTest>
#include <cstdint>
#include <string>
#include <vector>

#include "net/wire_paths.h"
#include "shell/alert_dialog.h"
#include "shell/tray.h"
#include "tests/shell/widget_fixture.h"

namespace {

// A file that start-up leaves as it is.
constexpr const char* kSettled =
    "[System]\r\nPriceType=au\r\nRefreshTime=5\r\nTransparent=50\r\nLockState=UnLock\r\n"
    "AutoRun=False\r\n";

class AlertsTest : public WidgetTest {
 protected:
  Mini& StartWith(const std::string& ini, const std::string& first_reply) {
    WriteIni(ini);
    Reply(wire::kPricePath, first_reply);
    return StartMini(Server().host());
  }

  void Quote(const std::string& reply) {
    Reply(wire::kPricePath, reply);
    mini_->GetPrice();
    Settle();
  }

  shell::AlertDialog* OpenDialog() {
    mini_->MenuItem("Menu_Alert")->trigger();
    shell::AlertDialog* dialog = mini_->Alerts().Dialog();
    EXPECT_NE(dialog, nullptr);
    return dialog;
  }

  static void Type(QLineEdit* field, const QString& text) {
    field->clear();
    QTest::keyClicks(field, text);
  }

  bool AlertMarked() { return mini_->MenuItem("Menu_Alert")->isChecked(); }
};

TEST_F(AlertsTest, TheDialogRefusesAnythingButPositiveDecimalsAndStoresTheLevels) {
  const std::string before = kSettled;
  StartWith(before, "au,541.00,541.50\r\n");
  EXPECT_FALSE(AlertMarked());
  shell::AlertDialog* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("现货黄金"));

  // Longer than the settings file gives back whole, for one.
  const QString too_long = QStringLiteral("1.") + QString(1100, QChar('0'));
  for (const QString& refused :
       {QStringLiteral("abc"), QStringLiteral("-5"), QStringLiteral("0"), QStringLiteral("1,5"),
        QStringLiteral("1e3"), QStringLiteral("12345678901"), too_long}) {
    SCOPED_TRACE(refused.left(20).toStdString());
    dialog->Above()->setText(refused);
    QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog->Message()->isHidden());
    EXPECT_EQ(dialog->Above()->text(), refused);
    EXPECT_EQ(mini_->Alerts().Dialog(), dialog);
    EXPECT_EQ(IniText(), before);
  }
  // Blanks around either field go, and so do leading zeros.
  Type(dialog->Above(), QStringLiteral(" 00542.00 "));
  Type(dialog->Below(), QStringLiteral(" 530 "));
  QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
  EXPECT_EQ(IniText(), before + "Alert_au=542.00,530\r\n");
  EXPECT_TRUE(AlertMarked());

  // Another product has no alert of its own; coming back shows the mark again.
  mini_->PriceChange(QStringLiteral("ag"));
  EXPECT_FALSE(AlertMarked());
  mini_->PriceChange(QStringLiteral("au"));
  EXPECT_TRUE(AlertMarked());

  ASSERT_TRUE(QTest::qWaitFor([this] { return mini_->Alerts().Dialog() == nullptr; }));
  dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->Above()->text(), QStringLiteral("542.00"));
  QTest::mouseClick(dialog->ClearButton(), Qt::LeftButton);
  EXPECT_FALSE(AlertMarked());
  EXPECT_EQ(IniText(), before);
}

// A dialog left open while the person picks another product must not set the first product's
// alert from the second product's menu item.
TEST_F(AlertsTest, TheDialogBelongsToTheSelectedProduct) {
  StartWith(kSettled, "au,541.00,541.50\r\n");
  const QPointer<shell::AlertDialog> first = OpenDialog();
  ASSERT_NE(first, nullptr);
  Type(first->Above(), QStringLiteral("600"));
  Reply(wire::kPricePath, "ag,5.1,5.2\r\n");
  mini_->PriceChange(QStringLiteral("ag"));
  Settle();
  EXPECT_TRUE(first.isNull() || first->isHidden());
  shell::AlertDialog* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->windowTitle(), QStringLiteral("现货白银"));
  Type(dialog->Above(), QStringLiteral("6"));
  QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
  EXPECT_EQ(IniText(),
            "[System]\r\nPriceType=ag\r\nRefreshTime=5\r\nTransparent=50\r\nLockState=UnLock\r\n"
            "AutoRun=False\r\nAlert_ag=6,\r\n");
}

TEST_F(AlertsTest, AStoredValueThatDoesNotReadBackIsIgnoredAndGoesWithTheNextChange) {
  StartWith(std::string(kSettled) + "Alert_ag=abc\r\nAlert_au=1,2,3\r\n", "au,541,541.5\r\n");
  EXPECT_FALSE(AlertMarked());
  EXPECT_EQ(mini_->Alerts().Book().Find("ag"), nullptr);
  mini_->Alerts().SetLevels("pt", {alerts::Level{"9", 9}, std::nullopt});
  EXPECT_EQ(IniText(), std::string(kSettled) + "Alert_pt=9,\r\n");
}

// A stored alert fires once on the quote that reaches it, says so in the tray tip until the
// next quote, and fires again only after the price went back past the margin.
TEST_F(AlertsTest, ACrossingNotifiesOnceWithTheNameAndTheLevel) {
  StartWith("[System]\r\nPriceType=au\r\nAlert_au=542.00,\r\n", "au,541.00,541.50\r\n");
  EXPECT_TRUE(AlertMarked());
  EXPECT_TRUE(notifications_.empty());
  Quote("au,542.30,542.80\r\n");
  const Notification crossed{QStringLiteral("现货黄金"),
                             QStringLiteral("买入价 542.30 已高于 542.00")};
  EXPECT_EQ(notifications_, std::vector<Notification>{crossed});
  // The service took it: no tray message besides.
  EXPECT_EQ(Tray::MessagesShown(), 0);
  EXPECT_TRUE(
      Tray::CurrentTip().startsWith(QStringLiteral("\r\n   买入价 542.30 已高于 542.00\r\n")))
      << Tray::CurrentTip().toStdString();

  Quote("au,541.80,542.30\r\n");  // back, but within 0.1 % of the level
  EXPECT_FALSE(Tray::CurrentTip().contains(QStringLiteral("已高于")));
  Quote("au,542.00,542.50\r\n");
  EXPECT_EQ(notifications_.size(), 1U);
  Quote("au,541.40,541.90\r\n");  // past the margin: armed again
  Quote("au,542,542.50\r\n");
  // In place of the first, not stacked on it.
  EXPECT_EQ(
      notifications_,
      (std::vector<Notification>{
          crossed, {QStringLiteral("现货黄金"), QStringLiteral("买入价 542 已高于 542.00"), 1}}));
}

// Each product's notification replaces only that product's last one.
TEST_F(AlertsTest, ANotificationReplacesOnlyItsOwnProductsLastOne) {
  StartWith(std::string(kSettled) + "Alert_au=542.00,\r\nAlert_ag=,5.00\r\n",
            "au,542.30,542.80\r\n");
  for (const char* quote : {"ag,4.90,5.00\r\n", "au,541.00,541.50\r\n"}) {
    Reply(wire::kPricePath, quote);
    mini_->PriceChange(QString::fromLatin1(quote, 2));
    Settle();
  }
  Quote("au,542.30,542.80\r\n");
  std::vector<std::uint32_t> replaced;
  for (const Notification& note : notifications_) replaced.push_back(note.replaces_id);
  EXPECT_EQ(replaced, (std::vector<std::uint32_t>{0, 0, 1}));
}

// Start-up's first quote comes before the tray icon is in the notification area; without a
// notification service, a level it crossed is told once the icon is there, and its line stays
// in the tip at least until then.
TEST_F(AlertsTest, ALevelCrossedAtStartUpIsToldOnceTheIconIsThere) {
  notification_service_ = false;
  StartWith(std::string(kSettled) + "Alert_au=542.00,\r\n", "au,542.30,542.80\r\n");
  // Not yet drawn, so the icon is not shown either when the next quote comes.
  mini_->hide();
  Quote("au,542.40,542.90\r\n");
  ASSERT_FALSE(Tray::IconShown());
  mini_->show();
  ASSERT_TRUE(QTest::qWaitFor([] { return Tray::IconShown(); }));
  EXPECT_EQ(Tray::MessagesShown(), 1);
  EXPECT_EQ(Tray::LastMessage(), QStringLiteral("买入价 542.30 已高于 542.00"));
  EXPECT_TRUE(Tray::CurrentTip().contains(QStringLiteral("已高于 542.00")));
}

// The first quote after a switch leaves the tip to the quote feed; the crossing's line goes
// with the next quote all the same.
TEST_F(AlertsTest, TheCrossedLevelLeavesTheTipWithTheNextQuote) {
  StartWith(std::string(kSettled) + "Alert_au=,542\r\n", "au,542.50,543\r\n");
  Quote("au,541.90,542.40\r\n");
  ASSERT_EQ(notifications_.size(), 1U);
  EXPECT_EQ(notifications_[0].body, QStringLiteral("买入价 541.90 已低于 542"));
  const QString crossed_tip = Tray::CurrentTip();
  Reply(wire::kPricePath, "ag,5.1,5.2\r\n");
  mini_->PriceChange(QStringLiteral("ag"));
  Settle();
  EXPECT_TRUE(notifications_.size() == 1U && !Tray::CurrentTip().contains(QStringLiteral("已低于")))
      << crossed_tip.toStdString() << " / " << Tray::CurrentTip().toStdString();
}

// Only a buy price that is a plain decimal number within a level's bounds reaches the alert,
// and the notification says it as read.
TEST_F(AlertsTest, OnlyAPlainBoundedBuyPriceReachesTheAlert) {
  StartWith(std::string(kSettled) + "Alert_au=2400.00,\r\n", "au,2300.00,2301.00\r\n");
  // Cut at the bar, the first would read as 2400 and fire.
  for (const std::string& buy : {std::string("2400|50"), std::string("2400.00001"),
                                 std::string(3'000'000, '0') + "2500.00"}) {
    Quote("au," + buy + ",2501.00\r\n");
  }
  ASSERT_EQ(notifications_.size(), 1U);
  EXPECT_EQ(notifications_[0].body.left(100), QStringLiteral("买入价 2500.00 已高于 2400.00"));
}

}  // namespace
