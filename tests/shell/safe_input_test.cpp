// Text from the server reaches the screen as plain text, and the optional skin library is
// loaded only when nobody but us (or root) could have put it there.

#include <sys/stat.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QSystemTrayIcon>
#include <QTextDocument>

#include "shell/control.h"
#include "shell/layout.h"
#include "shell/skin.h"
#include "shell/tray.h"
#include "tests/shell/widget_fixture.h"

namespace {

class SafeInputTest : public WidgetTest {
 protected:
  // The panel with its tray icon, without a start-up that would talk to a server.
  QSystemTrayIcon* TrayIcon() {
    Mini& mini = MakeMini();
    Tray::AddTrayIcon(&mini, mini.windowIcon(), QStringLiteral("Lumetta v1.0"), {});
    return mini.findChild<QSystemTrayIcon*>();
  }

  // What a tooltip shows for `tip`: the toolkit's tooltips render what looks like markup as
  // rich text, anything else as it is.
  static QString Shown(const QString& tip) {
    if (!Qt::mightBeRichText(tip)) return tip;
    QTextDocument document;
    document.setHtml(tip);
    return document.toPlainText();
  }
};

TEST_F(SafeInputTest, TrayTipThatLooksLikeMarkupShowsLiterally) {
  QSystemTrayIcon* icon = TrayIcon();
  ASSERT_NE(icon, nullptr);
  for (const QString& tip :
       {QStringLiteral("<b>x</b>"), QStringLiteral("<img src=\"file:///etc/passwd\">"),
        QStringLiteral("&lt;b&gt; &amp; <br>"), QStringLiteral("  <a href=\"x\">买入</a>  ")}) {
    Tray::SetTrayTip(tip);
    EXPECT_EQ(Shown(icon->toolTip()), tip) << tip.toStdString();
    // The tip field itself keeps the server's text as it came.
    EXPECT_EQ(Tray::CurrentTip(), tip);
  }
}

TEST_F(SafeInputTest, EscapedTrayTipKeepsItsLineBreaks) {
  QSystemTrayIcon* icon = TrayIcon();
  ASSERT_NE(icon, nullptr);
  Tray::SetTrayTip(QStringLiteral("\r\n   [<i>现货黄金</i>]   \r\n买入价:1 < 2 & 3\n\nend\r\n"));
  EXPECT_EQ(Shown(icon->toolTip()),
            QStringLiteral("\n   [<i>现货黄金</i>]   \n买入价:1 < 2 & 3\n\nend\n"));
}

TEST_F(SafeInputTest, PlainTrayTipIsPassedOnAsBefore) {
  QSystemTrayIcon* icon = TrayIcon();
  ASSERT_NE(icon, nullptr);
  Tray::SetTrayTip(QStringLiteral("\r\n   [现货黄金]   \r\n买入价:1 < 2\r\n"));
  EXPECT_EQ(icon->toolTip(), QStringLiteral("\n   [现货黄金]   \n买入价:1 < 2\n"));
  EXPECT_FALSE(Qt::mightBeRichText(icon->toolTip()));
}

TEST_F(SafeInputTest, LabelsShowServerTextAsPlainText) {
  Mini& mini = MakeMini();
  for (const shell::ControlRow& row : shell::kControls) {
    if (row.kind != shell::ControlKind::kLabel) continue;
    shell::Control* label = mini.Control(row.name);
    EXPECT_EQ(label->textFormat(), Qt::PlainText) << row.name;
    label->setText(QStringLiteral("<b>x</b>"));
    EXPECT_EQ(label->text(), QStringLiteral("<b>x</b>")) << row.name;
  }
}

// In the panel's current directory, with the skin's data file already there.
class SafeInputSkinTest : public WidgetTest {
 protected:
  void SetUp() override {
    WidgetTest::SetUp();
    old_dir_ = QDir::currentPath();
    ASSERT_TRUE(QDir::setCurrent(folder_.path()));
    ASSERT_TRUE(QFile(QStringLiteral("Skin.dat")).open(QIODevice::WriteOnly));
  }
  void TearDown() override {
    QDir::setCurrent(old_dir_);
    WidgetTest::TearDown();
  }

  // The stand-in library as `name`, with `mode` set outright: a copy keeps the source's.
  static void PlaceLibrary(const QString& name, mode_t mode) {
    ASSERT_TRUE(QFile::copy(QStringLiteral(FAKE_SKIN_PATH), name));
    SetMode(name, mode);
  }
  static void SetMode(const QString& name, mode_t mode) {
    ASSERT_EQ(::chmod(QFile::encodeName(name).constData(), mode), 0);
  }
  static bool SkinCalled() { return QFile::exists(QStringLiteral("skin_called.txt")); }

  QString old_dir_;
};

TEST_F(SafeInputSkinTest, LibraryThatOthersMayWriteIsIgnored) {
  PlaceLibrary(QStringLiteral("Skin.dll"), 0775);
  EXPECT_FALSE(Skin::AttachIfPresent());
  for (const mode_t mode : {0757, 0777, 0664}) {
    SetMode(QStringLiteral("Skin.dll"), mode);
    EXPECT_FALSE(Skin::AttachIfPresent()) << std::oct << mode;
  }
  EXPECT_FALSE(SkinCalled());

  // The same file once only its owner may write it.
  SetMode(QStringLiteral("Skin.dll"), 0755);
  EXPECT_TRUE(Skin::AttachIfPresent());
  EXPECT_TRUE(SkinCalled());
}

TEST_F(SafeInputSkinTest, LibraryBehindALinkIsIgnored) {
  PlaceLibrary(QStringLiteral("real_skin.so"), 0755);
  ASSERT_TRUE(QFile::link(QStringLiteral("real_skin.so"), QStringLiteral("Skin.dll")));
  EXPECT_FALSE(Skin::AttachIfPresent());
  EXPECT_FALSE(SkinCalled());
}

}  // namespace
