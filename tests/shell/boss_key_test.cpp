// The global key through the panel: what start-up reads and leaves in the file, the menu item
// that names the chord, and the dialog that changes or clears it. Offscreen there is no X11,
// so nothing is grabbed here; tests/realwin/boss_key.sh presses the chord for real.

#include <QAction>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <ostream>
#include <string>

#include "shell/boss_key_dialog.h"
#include "shell/main_menu.h"
#include "tests/shell/widget_fixture.h"

namespace {

constexpr const char* kSettled =
    "[System]\r\nPriceType=au\r\nRefreshTime=5\r\nTransparent=50\r\nLockState=UnLock\r\n"
    "AutoRun=False\r\n";

class BossKeyTest : public WidgetTest {
 protected:
  Mini& StartWith(const std::string& ini) {
    WriteIni(ini);
    Mini& mini = StartMini();
    // The key is read once the panel has first been drawn.
    Settle();
    return mini;
  }
  QString Caption() { return mini_->MenuItem("Menu_BossKey")->text(); }
  shell::BossKeyDialog* OpenDialog() {
    mini_->MenuItem("Menu_BossKey")->trigger();
    return mini_->HideKey().Dialog();
  }
};

struct StoredCase {
  std::string line;  // the BossKey line of the file, if any
  QString caption;
  friend void PrintTo(const StoredCase& stored, std::ostream* out) { *out << stored.line; }
};

class BossKeyStartTest : public BossKeyTest, public testing::WithParamInterface<StoredCase> {};

// Start-up reads the key and writes nothing back: a file without it, or with a value it cannot
// use, stays byte for byte.
TEST_P(BossKeyStartTest, ShowsTheStoredChordAndLeavesTheFileAsItWas) {
  const std::string before = kSettled + GetParam().line;
  StartWith(before);
  EXPECT_EQ(Caption(), GetParam().caption);
  EXPECT_EQ(IniText(), before);
}

INSTANTIATE_TEST_SUITE_P(
    Files, BossKeyStartTest,
    testing::Values(StoredCase{"", QStringLiteral("隐藏快捷键 (Ctrl+Alt+Shift+H)...")},
                    StoredCase{"BossKey=\r\n", QStringLiteral("隐藏快捷键 (无)...")},
                    StoredCase{"BossKey=super+f9\r\n", QStringLiteral("隐藏快捷键 (Super+F9)...")},
                    StoredCase{"BossKey=Ctrl+Ctrl+H\r\n", QStringLiteral("隐藏快捷键 (无)...")}));

TEST_F(BossKeyTest, TheItemComesDirectlyAfterTheDayChart) {
  StartWith(kSettled);
  const QList<QAction*> items = mini_->Menu()->MenuRoot()->actions();
  const auto chart = items.indexOf(mini_->MenuItem("Menu_Chart"));
  ASSERT_GE(chart, 0);
  EXPECT_EQ(items.indexOf(mini_->MenuItem("Menu_BossKey")), chart + 1);
}

TEST_F(BossKeyTest, TheDialogStoresAChordRefusesOneWithoutModifierAndClears) {
  StartWith(kSettled);
  shell::BossKeyDialog* dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->Field()->keySequence().toString(QKeySequence::PortableText),
            QStringLiteral("Ctrl+Alt+Shift+H"));

  // A letter alone (or with Shift alone) would be taken from everyone's typing.
  for (const Qt::KeyboardModifiers modifiers :
       {Qt::KeyboardModifiers(), Qt::KeyboardModifiers(Qt::ShiftModifier)}) {
    dialog->Field()->clear();
    QTest::keyClick(dialog->Field(), Qt::Key_J, modifiers);
    QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog->Message()->isHidden());
    EXPECT_EQ(mini_->HideKey().Dialog(), dialog);
    EXPECT_EQ(IniText(), kSettled);
  }

  dialog->Field()->clear();
  QTest::keyClick(dialog->Field(), Qt::Key_J, Qt::ControlModifier | Qt::AltModifier);
  QTest::mouseClick(dialog->OkButton(), Qt::LeftButton);
  EXPECT_EQ(IniText(), std::string(kSettled) + "BossKey=Ctrl+Alt+J\r\n");
  EXPECT_EQ(Caption(), QStringLiteral("隐藏快捷键 (Ctrl+Alt+J)..."));
  ASSERT_TRUE(mini_->HideKey().Chord());
  EXPECT_EQ(hotkey::ChordText(*mini_->HideKey().Chord()), "Ctrl+Alt+J");

  // Cancel changes nothing; clear stores the empty value, which grabs none.
  dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  dialog->reject();
  EXPECT_EQ(IniText(), std::string(kSettled) + "BossKey=Ctrl+Alt+J\r\n");
  dialog = OpenDialog();
  ASSERT_NE(dialog, nullptr);
  QTest::mouseClick(dialog->ClearButton(), Qt::LeftButton);
  EXPECT_EQ(IniText(), std::string(kSettled) + "BossKey=\r\n");
  EXPECT_EQ(Caption(), QStringLiteral("隐藏快捷键 (无)..."));
  EXPECT_FALSE(mini_->HideKey().Chord());
}

}  // namespace
