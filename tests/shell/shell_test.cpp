// The panel's controls, its menu tree and the tray icon's mouse events.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QTest>

#include <map>
#include <optional>

#include "quotes/catalogue.h"
#include "quotes/refresh_time.h"
#include "shell/control.h"
#include "shell/main_menu.h"
#include "shell/skin.h"
#include "shell/tray.h"
#include "tests/shell/widget_fixture.h"
#include "text/ascii_case.h"
#include "window/lock_and_opacity.h"

namespace {

using ShellTest = WidgetTest;

// One line per item: level, name, caption, kind (S submenu, - separator, C checkable,
// . command) and the mark at creation.
void Dump(const QMenu* menu, int level, QStringList& lines) {
  for (QAction* action : menu->actions()) {
    QString kind = QStringLiteral(".");
    if (action->menu() != nullptr) {
      kind = QStringLiteral("S");
    } else if (action->isSeparator()) {
      kind = QStringLiteral("-");
    } else if (action->isCheckable()) {
      kind = QStringLiteral("C");
    }
    lines << QStringLiteral("%1 %2 %3 %4 %5")
                 .arg(level)
                 .arg(action->objectName(), action->text(), kind)
                 .arg(action->isChecked() ? 1 : 0);
    EXPECT_TRUE(action->isEnabled()) << action->objectName().toStdString();
    if (action->menu() != nullptr) Dump(action->menu(), level + 1, lines);
  }
}

TEST_F(ShellTest, MenuTreeAsCreated) {
  Main main;
  QMenu* root = main.MenuRoot();
  EXPECT_EQ(root->objectName(), QStringLiteral("Menu_Menu"));
  EXPECT_EQ(root->title(), QStringLiteral("系统菜单"));
  EXPECT_EQ(main.windowTitle(), QStringLiteral("主界面"));
  QStringList lines;
  Dump(root, 1, lines);
  const QStringList expected = {
      "1 Menu_Show 显示界面 . 0",
      "1 Menu_LockForm 窗口锁定 C 1",
      "1 Menu_Transparent 窗口透明度 S 0",
      "2 Menu_Transparent_80 80% C 1",
      "2 Menu_Transparent_70 70% C 1",
      "2 Menu_Transparent_60 60% C 1",
      "2 Menu_Transparent_50 50% C 1",
      "2 Menu_Transparent_40 40% C 1",
      "2 Menu_Transparent_30 30% C 1",
      "2 Menu_Transparent_20 20% C 1",
      "1 Menu_AutoRun 开机时启动软件 C 1",
      "1 Menu_Line_One  - 0",
      "1 Menu_PriceType 报价类型 S 0",
      "2 Menu_RMB Zentrova人民币黄金 C 1",
      "2 Menu_GOLD Zentrova美元黄金 C 1",
      "2 Menu_Price_Line_One  - 0",
      "2 Menu_ICBC_RMB_GOLD 工商银行人民币黄金 C 1",
      "2 Menu_ICBC_RMB_SILVER 工商银行人民币白银 C 1",
      "2 Menu_ICBC_RMB_PLATINUM 工商银行人民币铂金 C 1",
      "2 Menu_ICBC_USD_GOLD 工商银行美元黄金 C 1",
      "2 Menu_ICBC_USD_SILVER 工商银行美元白银 C 1",
      "2 Menu_ICBC_USD_PLATINUM 工商银行美元铂金 C 1",
      "2 Menu_Price_Line_Two  - 0",
      "2 Menu_CCB_AU9995 建设银行AU9995 C 1",
      "2 Menu_CCB_AU9999 建设银行AU9999 C 1",
      "2 Menu_Price_Line_Three  - 0",
      "2 Menu_BOC_RMB_GOLD 中国银行人民币黄金 C 1",
      "2 Menu_BOC_USD_GOLD 中国银行美元黄金 C 1",
      "2 Menu_Price_Line_Four  - 0",
      "2 Menu_AU 现货黄金 C 1",
      "2 Menu_GT 香港黄金 C 1",
      "2 Menu_AG 现货白银 C 1",
      "2 Menu_PT 现货铂金 C 1",
      "2 Menu_PA 现货钯金 C 1",
      "1 Menu_Speed 报价更新速度 S 0",
      "2 Menu_Speed_Quick 快速 C 1",
      "2 Menu_Speed_Normal 正常 C 1",
      "2 Menu_Speed_Slow 慢速 C 1",
      "1 Menu_Line_Two  - 0",
      "1 Menu_About Zentrova资讯网 . 0",
      "1 Menu_CheckUpDate 检测升级 . 0",
      "1 Menu_Exit 退出 . 0",
  };
  EXPECT_EQ(lines, expected);
}

// The catalogue against the menu a user sees: row order is the product menu's order, each
// row's names follow from its caption, and a click on the item selects that row.
TEST_F(ShellTest, CatalogueRowsMatchTheProductMenu) {
  Mini& mini = StartMini();
  std::vector<QAction*> items;
  for (QAction* action : mini.MenuItem("Menu_PriceType")->menu()->actions()) {
    if (!action->isSeparator()) items.push_back(action);
  }
  ASSERT_EQ(items.size(), quotes::kCatalogue.size());
  const QString yuan = QStringLiteral("人民币");
  const QString dollar = QStringLiteral("美元");
  for (size_t i = 0; i < items.size(); ++i) {
    const quotes::Product& row = quotes::kCatalogue[i];
    const QString caption = items[i]->text();
    SCOPED_TRACE(caption.toStdString());
    EXPECT_EQ(items[i]->objectName().toStdString(), row.menu_item);
    EXPECT_EQ(caption.toStdString(), row.display_name);
    EXPECT_EQ(text::AsciiLower(row.menu_text), row.code);

    // Paper products of a bank show currency, "纸" and the metal; the others their caption
    // without the bank's name.
    QString label = caption;
    if (caption.contains(yuan) || caption.contains(dollar)) {
      label = (caption.contains(yuan) ? QStringLiteral("￥纸") : QStringLiteral("＄纸")) +
              caption.right(2);
    } else if (caption.startsWith(QStringLiteral("建设银行"))) {
      label = caption.mid(4);
    }
    EXPECT_EQ(label.toStdString(), row.short_label);

    quotes::Shortcut shortcut = quotes::Shortcut::kOther;
    if (caption.startsWith(QStringLiteral("工商银行"))) shortcut = quotes::Shortcut::kIcbc;
    if (caption.startsWith(QStringLiteral("建设银行"))) shortcut = quotes::Shortcut::kCcb;
    if (caption.startsWith(QStringLiteral("中国银行"))) shortcut = quotes::Shortcut::kBoc;
    EXPECT_EQ(row.shortcut, shortcut);

    items[i]->trigger();
    EXPECT_EQ(mini.PriceTypeValue().toStdString(), row.code);
    EXPECT_EQ(mini.Control("PriceType")->text().toStdString(), row.short_label);
  }
}

// Every checkable item, clicked: only the owning method sets marks, from the panel's state.
TEST_F(ShellTest, AClickNeverChangesAMarkByItself) {
  Mini& mini = StartMini();
  std::vector<QAction*> checkable;
  for (QAction* action : mini.Menu()->MenuRoot()->findChildren<QAction*>()) {
    if (action->isCheckable()) checkable.push_back(action);
  }
  ASSERT_EQ(checkable.size(), 29U);  // 17 products, 3 speeds, 7 opacities, lock, start at login

  const auto marks_from_state = [&mini](const QAction* action) -> std::optional<bool> {
    const std::string name = action->objectName().toStdString();
    for (const quotes::Product& product : quotes::kCatalogue) {
      if (product.menu_item == name) return mini.PriceTypeValue().toStdString() == product.code;
    }
    for (const quotes::RefreshChoice& choice : quotes::kRefreshChoices) {
      if (choice.menu_item == name) return mini.RefreshTimeValue().toStdString() == choice.choice;
    }
    for (const window::OpacityChoice& choice : window::kOpacityChoices) {
      if (choice.menu_item == name) return mini.TransparentValue() == choice.percent;
    }
    if (name == "Menu_LockForm") return mini.IsLocked() == -1;
    if (name == "Menu_AutoRun") return mini.Ini().GetIniString("System", "AutoRun") == "True";
    return std::nullopt;
  };

  for (QAction* clicked : checkable) {
    std::map<QAction*, bool> before;
    for (QAction* action : checkable) before[action] = action->isChecked();
    clicked->trigger();
    for (QAction* action : checkable) {
      const bool expected = marks_from_state(action).value_or(before[action]);
      EXPECT_EQ(action->isChecked(), expected) << "after " << clicked->objectName().toStdString()
                                               << ": " << action->objectName().toStdString();
    }
  }
}

TEST_F(ShellTest, PressesLandOnTheTopmostControl) {
  Mini& mini = StartMini();
  // Passive parts lie under the drag surface; the clickable ones above it.
  const std::vector<std::pair<QPoint, QString>> spots = {
      {{150, 25}, "FormImage"},  // price text
      {{30, 62}, "FormImage"},   // product label
      {{75, 25}, "FormImage"},   // trend mark
      {{150, 44}, "FormImage"},  // separator line
      {{5, 75}, "FormImage"},    // bare background
      {{150, 60}, "News"},       // headline
      {{328, 20}, "LockImage"},  // an unlocked panel offers to lock
      {{328, 60}, "HideImage"},
  };
  for (const auto& [point, name] : spots) {
    QWidget* hit = mini.childAt(point);
    ASSERT_NE(hit, nullptr) << name.toStdString();
    EXPECT_EQ(hit->objectName(), name) << point.x() << "," << point.y();
  }
  for (const char* logo : {"ICBCImage", "CCBImage", "BOCImage", "OtherImage"}) {
    for (const char* other : {"ICBCImage", "CCBImage", "BOCImage", "OtherImage"}) {
      mini.Control(other)->setVisible(other == std::string(logo));
    }
    EXPECT_EQ(mini.childAt(QPoint(30, 25))->objectName(), QString::fromLatin1(logo));
  }
}

TEST_F(ShellTest, ControlsCarryTheirTipsCursorsAndPictures) {
  Mini& mini = StartMini();
  const std::vector<std::pair<const char*, const char*>> tips = {
      {"OtherImage", "Zentrova资讯网"}, {"HideImage", "隐藏窗口"},     {"BOCImage", "中国银行"},
      {"CCBImage", "中国建设银行"},     {"ICBCImage", "中国工商银行"}, {"UnLockImage", "解锁窗口"},
      {"LockImage", "锁定窗口"}};
  for (const auto& [name, tip] : tips) {
    shell::Control* control = mini.Control(name);
    EXPECT_EQ(control->toolTip(), QString::fromUtf8(tip)) << name;
    EXPECT_EQ(control->accessibleName(), QString::fromUtf8(tip)) << name;
    EXPECT_EQ(control->cursor().shape(), Qt::BitmapCursor) << name;
    EXPECT_EQ(control->cursor().hotSpot(), QPoint(5, 0)) << name;
    EXPECT_FALSE(control->pixmap().isNull()) << name;
  }
  EXPECT_EQ(mini.Control("News")->cursor().shape(), Qt::BitmapCursor);
  for (const char* name : {"FormImage", "Price", "PriceType", "MidImage"}) {
    EXPECT_EQ(mini.Control(name)->cursor().shape(), Qt::ArrowCursor) << name;
  }
  // Pictures at natural size.
  EXPECT_EQ(mini.Control("ICBCImage")->pixmap().deviceIndependentSize().toSize(), QSize(40, 40));
  EXPECT_EQ(mini.Control("UpImage")->pixmap().deviceIndependentSize().toSize(), QSize(20, 20));
  EXPECT_EQ(mini.Control("LineImage")->width(), 267);
  QFont price_font = mini.Control("Price")->font();
  EXPECT_TRUE(price_font.bold());
  EXPECT_DOUBLE_EQ(price_font.pointSizeF(), 10.5);
  EXPECT_EQ(mini.Control("Price")->palette().color(QPalette::WindowText), mini.ButtonTextColor());
  EXPECT_EQ(mini.windowTitle(), QStringLiteral("Lumetta客户端"));
  EXPECT_FALSE(mini.windowIcon().isNull());
  // Each size the window icon offers is drawn at that size, 32 px (the taskbar's) among them.
  const QList<QSize> sizes = mini.windowIcon().availableSizes();
  EXPECT_TRUE(sizes.contains(QSize(32, 32)));
  for (const QSize& size : sizes) {
    EXPECT_EQ(QImage(QStringLiteral(":/other_logo_%1.png").arg(size.width())).size(), size);
  }
}

TEST_F(ShellTest, TrayEventsShowTheWidgetOrOpenTheMenu) {
  Mini& mini = StartMini();
  const QPoint place = mini.pos();

  // Single clicks and other buttons do nothing.
  mini.hide();
  mini.TrayEvent(Tray::kLeftButtonUp);
  mini.TrayEvent(Tray::kMiddleButtonUp);
  EXPECT_FALSE(mini.isVisible());

  // The right button opens the menu even while the widget is hidden...
  mini.TrayEvent(Tray::kRightButtonUp);
  QMenu* menu = mini.Menu()->MenuRoot();
  EXPECT_TRUE(menu->isVisible());
  EXPECT_FALSE(mini.isVisible());
  menu->hide();

  // ... and "显示界面" brings it back where it was.
  mini.MenuItem("Menu_Show")->trigger();
  EXPECT_TRUE(mini.isVisible());
  EXPECT_EQ(mini.pos(), place);

  // A double click shows a hidden widget and changes nothing else.
  mini.hide();
  mini.TrayEvent(Tray::kLeftDoubleClick);
  EXPECT_TRUE(mini.isVisible());
  EXPECT_EQ(mini.pos(), place);
  mini.TrayEvent(Tray::kLeftDoubleClick);
  EXPECT_EQ(mini.pos(), place);
  EXPECT_EQ(program_ends_, 0);
}

TEST_F(ShellTest, RightButtonReleaseOnThePanelOpensTheMenu) {
  Mini& mini = StartMini();
  QMenu* menu = mini.Menu()->MenuRoot();
  QTest::mouseClick(mini.Control("FormImage"), Qt::LeftButton, {}, QPoint(150, 25));
  EXPECT_FALSE(menu->isVisible());
  QTest::mouseClick(mini.Control("FormImage"), Qt::RightButton, {}, QPoint(150, 25));
  EXPECT_TRUE(menu->isVisible());
  menu->hide();
}

TEST_F(ShellTest, TrayTipKeepsWhatFitsTheField) {
  StartMini();
  Tray::SetTrayTip(QString(200, QChar('x')));
  EXPECT_EQ(Tray::CurrentTip(), QString(127, QChar('x')));
  Tray::SetTrayTip(QStringLiteral("\r\n   [现货黄金]   \r\n"));
  EXPECT_EQ(Tray::CurrentTip(), QStringLiteral("\r\n   [现货黄金]   \r\n"));
  Tray::DeleteTrayIcon();
  Tray::SetTrayTip(QStringLiteral("after exit"));
  EXPECT_FALSE(Tray::HasIcon());
  EXPECT_TRUE(Tray::CurrentTip().isEmpty());
}

TEST_F(ShellTest, SkinIsAttachedOnlyWhenBothFilesArePresent) {
  const QString old_dir = QDir::currentPath();
  ASSERT_TRUE(QDir::setCurrent(folder_.path()));
  EXPECT_FALSE(Skin::AttachIfPresent());
  QFile(QStringLiteral("Skin.dat")).open(QIODevice::WriteOnly);
  EXPECT_FALSE(Skin::AttachIfPresent());
  QFile::remove(QStringLiteral("Skin.dat"));
  ASSERT_TRUE(QFile::copy(QStringLiteral(FAKE_SKIN_PATH), QStringLiteral("Skin.dll")));
  // Whatever the build's umask: only a library nobody else may write is loaded.
  ASSERT_TRUE(QFile::setPermissions(QStringLiteral("Skin.dll"),
                                    QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner |
                                        QFile::ReadGroup | QFile::ReadOther));
  EXPECT_FALSE(Skin::AttachIfPresent());
  EXPECT_FALSE(QFile::exists(QStringLiteral("skin_called.txt")));

  QFile(QStringLiteral("Skin.dat")).open(QIODevice::WriteOnly);
  EXPECT_TRUE(Skin::AttachIfPresent());
  QFile record(QStringLiteral("skin_called.txt"));
  ASSERT_TRUE(record.open(QIODevice::ReadOnly));
  EXPECT_EQ(record.readAll(), QByteArray("Skin.dat|"));
  QDir::setCurrent(old_dir);
}

}  // namespace
