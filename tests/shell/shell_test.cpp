// The panel's controls, its menu tree and the tray icon's mouse events.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMenu>
#include <QSet>
#include <QTest>

#include <map>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "quotes/catalogue.h"
#include "quotes/refresh_time.h"
#include "shell/control.h"
#include "shell/layout.h"
#include "shell/main_menu.h"
#include "shell/skin.h"
#include "shell/tray.h"
#include "tests/shell/widget_fixture.h"
#include "window/lock_and_opacity.h"

namespace {

using ShellTest = WidgetTest;

// Every item of the tree with the menu that holds it, depth first.
void Walk(const QMenu* menu, std::vector<std::pair<const QMenu*, QAction*>>& items) {
  for (QAction* action : menu->actions()) {
    items.emplace_back(menu, action);
    if (action->menu() != nullptr) Walk(action->menu(), items);
  }
}

// The names of a submenu's items; each must be a checkable choice or a separator.
QStringList ChoiceNames(const Main& main, std::string_view submenu) {
  QStringList names;
  for (const QAction* action : main.Item(submenu)->menu()->actions()) {
    if (action->isSeparator()) continue;
    EXPECT_TRUE(action->isCheckable()) << action->objectName().toStdString();
    names << action->objectName();
  }
  return names;
}

QStringList Names(const auto& rows) {
  QStringList names;
  for (const auto& row : rows) names << QString::fromUtf8(row.menu_item);
  return names;
}

// As created, before the load applies any state: every item is usable and carries its mark,
// names are unique, captions unique within their menu, and each choice submenu holds one item
// per row of its table, in table order.
TEST_F(ShellTest, MenuTreeAsCreated) {
  Main main;
  QMenu* root = main.MenuRoot();
  EXPECT_EQ(root->objectName(), QStringLiteral("Menu_Menu"));
  EXPECT_EQ(root->title(), QStringLiteral("系统菜单"));
  EXPECT_EQ(main.windowTitle(), QStringLiteral("主界面"));
  std::vector<std::pair<const QMenu*, QAction*>> items;
  Walk(root, items);
  QSet<QString> names;
  std::map<const QMenu*, QSet<QString>> captions;
  for (const auto& [menu, action] : items) {
    const std::string name = action->objectName().toStdString();
    EXPECT_FALSE(name.empty());
    EXPECT_FALSE(names.contains(action->objectName())) << "named twice: " << name;
    names.insert(action->objectName());
    EXPECT_TRUE(action->isEnabled()) << name;
    EXPECT_EQ(action->isChecked(), action->isCheckable()) << name;
    if (action->isSeparator()) continue;
    EXPECT_FALSE(captions[menu].contains(action->text())) << "caption twice: " << name;
    captions[menu].insert(action->text());
  }
  EXPECT_EQ(ChoiceNames(main, "Menu_PriceType"), Names(quotes::kCatalogue));
  EXPECT_EQ(ChoiceNames(main, "Menu_Speed"), Names(quotes::kRefreshChoices));
  EXPECT_EQ(ChoiceNames(main, "Menu_Transparent"), Names(window::kOpacityChoices));
  for (const window::OpacityChoice& choice : window::kOpacityChoices) {
    EXPECT_EQ(main.Item(choice.menu_item)->text(), QStringLiteral("%1%").arg(choice.percent));
  }
}

// The product table against the menu a user sees: each row's label and shortcut follow from
// its caption, and a click on the item selects that row.
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

    items[i]->trigger();
    EXPECT_EQ(mini.PriceTypeValue().toStdString(), row.code);
    EXPECT_EQ(mini.Control("PriceType")->text().toStdString(), row.short_label);
    // A bank's product shows that bank's shortcut; the others the maker's site.
    const std::pair<const char*, const char*> shortcuts[] = {
        {"ICBCImage", "工商银行"}, {"CCBImage", "建设银行"}, {"BOCImage", "中国银行"}};
    bool bank_shown = false;
    for (const auto& [image, bank] : shortcuts) {
      const bool of_bank = caption.startsWith(QString::fromUtf8(bank));
      EXPECT_EQ(mini.Control(image)->isVisibleTo(&mini), of_bank) << image;
      bank_shown = bank_shown || of_bank;
    }
    EXPECT_EQ(mini.Control("OtherImage")->isVisibleTo(&mini), !bank_shown);
  }
}

// Every checkable item, clicked: only the owning method sets marks, from the panel's state.
TEST_F(ShellTest, AClickNeverChangesAMarkByItself) {
  Mini& mini = StartMini();
  std::vector<QAction*> checkable;
  for (QAction* action : mini.Menu()->MenuRoot()->findChildren<QAction*>()) {
    if (action->isCheckable()) checkable.push_back(action);
  }
  // One item per product, speed and opacity, and the lock, start-at-login and alert toggles.
  ASSERT_EQ(checkable.size(), quotes::kCatalogue.size() + quotes::kRefreshChoices.size() +
                                  window::kOpacityChoices.size() + 3);

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
    if (name == "Menu_Alert") {
      return mini.Alerts().Book().Find(mini.PriceTypeValue().toStdString()) != nullptr;
    }
    return std::nullopt;
  };

  for (QAction* clicked : checkable) {
    std::map<QAction*, bool> before;
    for (QAction* action : checkable) before[action] = action->isChecked();
    clicked->trigger();
    // Each choice group keeps exactly one mark, the clicked item's when it is in the group.
    for (const char* group : {"Menu_PriceType", "Menu_Speed", "Menu_Transparent"}) {
      const QStringList marked = Marked(group);
      EXPECT_EQ(marked.size(), 1) << group << " after " << clicked->objectName().toStdString();
      if (mini.MenuItem(group)->menu()->actions().contains(clicked)) {
        EXPECT_EQ(marked, QStringList{clicked->objectName()});
      }
    }
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
  for (const shell::ControlRow& row : shell::kControls) {
    shell::Control* control = mini.Control(row.name);
    SCOPED_TRACE(std::string(row.name));
    // What takes clicks shows the hand; a picture that takes clicks says what it does, to a
    // screen reader as well.
    EXPECT_EQ(control->cursor().shape(), row.hand_cursor ? Qt::BitmapCursor : Qt::ArrowCursor);
    if (row.hand_cursor) {
      EXPECT_EQ(control->cursor().hotSpot(), QPoint(5, 0));
    }
    EXPECT_EQ(control->accessibleName(), control->toolTip());
    if (row.kind != shell::ControlKind::kImage) continue;
    EXPECT_FALSE(control->pixmap().isNull());
    // The pixels made at build time are the file's, as a decode of it would give them.
    const QString file = QString::fromUtf8(row.picture.data(), qsizetype(row.picture.size()));
    EXPECT_EQ(control->pixmap().toImage(), QPixmap::fromImage(QImage(file)).toImage());
    EXPECT_EQ(control->toolTip().isEmpty(), !row.hand_cursor);
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
    const QImage file(QStringLiteral(":/other_logo_%1.png").arg(size.width()));
    EXPECT_EQ(mini.windowIcon().pixmap(size).toImage(), QPixmap::fromImage(file).toImage());
  }
  EXPECT_EQ(mini.Control("ICBCImage")->cursor().pixmap().toImage(),
            QPixmap::fromImage(QImage(QStringLiteral(":/hand.png"))).toImage());
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
