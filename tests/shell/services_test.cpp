// The update check, start at login and the usage counter through the panel, against scripted
// replies of the local quote server and a temporary autostart folder.

#include <QAction>
#include <QDir>
#include <QFile>
#include <QTest>
#include <QTimer>

#include "net/wire_paths.h"
#include "tests/shell/widget_fixture.h"

namespace {

class ServicesTest : public WidgetTest {
 protected:
  // A server that offers `record` as its version record.
  std::string ServerWithRecord(const std::string& record) {
    Reply(wire::kVersionPath, record);
    Reply(wire::kPricePath, "");
    Reply(wire::kNewsPath, "");
    return Server().host();
  }
  QString EntryPath() const { return folder_.filePath(QStringLiteral("autostart/vomra.desktop")); }
  QString EntryText() const {
    QFile file(EntryPath());
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
  }
  std::string Stored(const char* key) const { return mini_->Ini().GetIniString("System", key); }
};

const QString kPrompt = QStringLiteral(
    "\r\n   您当前的软件有最新版本!              \r\n\r\n   版本号:v1.1\r\n\r\n"
    "   发布日期:2026-12-01\r\n\r\n   软件特性:更快 更稳\r\n\r\n   您是否下载新版本软件?");

TEST_F(ServicesTest, ANewerVersionIsOfferedAndOkDownloadsAndEnds) {
  const std::string host =
      ServerWithRecord("1.1\r\nFalse\r\n2026-12-01\r\n更快 更稳\r\nhttp://dl.example/new");
  answer_ = false;  // Cancel: the panel goes on
  StartMini(host);
  ASSERT_EQ(questions_.size(), 1U);
  EXPECT_EQ(questions_[0].text, kPrompt);
  EXPECT_EQ(questions_[0].title, QStringLiteral("更新提示"));
  EXPECT_TRUE(questions_[0].with_cancel);
  EXPECT_TRUE(opened_pages_.empty());
  EXPECT_EQ(program_ends_, 0);
  EXPECT_TRUE(mini_->isVisible());

  answer_ = true;
  mini_->MenuItem("Menu_CheckUpDate")->trigger();
  Settle();
  ASSERT_EQ(questions_.size(), 2U);
  EXPECT_EQ(opened_pages_, std::vector<std::string>{"http://dl.example/new"});
  EXPECT_EQ(program_ends_, 1);
}

TEST_F(ServicesTest, AnUpdateAcceptedAtStartUpWritesNothing) {
  const std::string host =
      ServerWithRecord("2.0\r\nTrue\r\n2026-12-01\r\n必须更新\r\nhttp://dl.example/new");
  StartMini(host);
  ASSERT_EQ(questions_.size(), 1U);
  EXPECT_FALSE(questions_[0].with_cancel);  // mandatory: OK alone
  EXPECT_EQ(program_ends_, 1);
  EXPECT_EQ(opened_pages_, std::vector<std::string>{"http://dl.example/new"});
  EXPECT_FALSE(mini_->isVisible());
  EXPECT_TRUE(QDir(folder_.path()).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

TEST_F(ServicesTest, OnRequestEveryOutcomeIsReportedQuietlyOnlyANewerVersion) {
  StartMini(ServerWithRecord("1.0\r\nFalse\r\n2026-01-01\r\n-\r\nhttp://dl.example/"));
  EXPECT_TRUE(questions_.empty());
  mini_->CheckUpDate(QStringLiteral("1"));
  Settle();
  ASSERT_EQ(questions_.size(), 1U);
  EXPECT_EQ(questions_[0].text, QStringLiteral("您的软件已经最新版本!"));
  EXPECT_EQ(questions_[0].title, QStringLiteral("提示"));
  EXPECT_FALSE(questions_[0].with_cancel);

  // A record that is no record, and a download address that is no web address, fail.
  for (const char* record : {"1.1\r\nFalse\r\nd\r\nf\r\nhttp://dl.example/\r\n",
                             "1.1\r\nFalse\r\nd\r\nf\r\nfile:///bin/sh"}) {
    Reply(wire::kVersionPath, record);
    mini_->CheckUpDate(QStringLiteral("0"));
    Settle();
    mini_->CheckUpDate(QStringLiteral("1"));
    Settle();
    EXPECT_EQ(questions_.back().text, QStringLiteral("服务器连接失败,检测更新失败!")) << record;
  }
  EXPECT_EQ(questions_.size(), 3U);
  EXPECT_TRUE(opened_pages_.empty());
  EXPECT_EQ(program_ends_, 0);
}

TEST_F(ServicesTest, AnUnreachableServerShowsNothingAtStartUp) {
  StartMini("127.0.0.1:1");
  EXPECT_TRUE(questions_.empty());
  EXPECT_TRUE(mini_->isVisible());
  mini_->CheckUpDate(QStringLiteral("1"));
  Settle();
  ASSERT_EQ(questions_.size(), 1U);
  EXPECT_EQ(questions_[0].text, QStringLiteral("服务器连接失败,检测更新失败!"));
}

TEST_F(ServicesTest, StartAtLoginWritesAndRemovesTheEntry) {
  // The first run removes an entry a former copy left and stores "False".
  ASSERT_TRUE(QDir(folder_.path()).mkpath(QStringLiteral("autostart")));
  QFile old_entry(EntryPath());
  ASSERT_TRUE(old_entry.open(QIODevice::WriteOnly));
  old_entry.close();
  StartMini();
  EXPECT_FALSE(QFile::exists(EntryPath()));
  EXPECT_EQ(Stored("AutoRun"), "False");
  EXPECT_FALSE(mini_->MenuItem("Menu_AutoRun")->isChecked());

  mini_->MenuItem("Menu_AutoRun")->trigger();
  Settle();
  EXPECT_TRUE(mini_->MenuItem("Menu_AutoRun")->isChecked());
  EXPECT_EQ(Stored("AutoRun"), "True");
  EXPECT_TRUE(EntryText().contains(QStringLiteral("Exec=\"") + folder_.path() +
                                   QStringLiteral("/Tessal\"\n")))
      << EntryText().toStdString();
  mini_->MenuItem("Menu_AutoRun")->trigger();
  Settle();
  EXPECT_FALSE(QFile::exists(EntryPath()));
  EXPECT_EQ(Stored("AutoRun"), "False");

  for (const auto& [stored, saved] : std::vector<std::pair<std::string, std::string>>{
           {"TRUE", "True"}, {"yes", "False"}, {"", "False"}, {"true", "True"}}) {
    WriteIni("[System]\r\nAutoRun=" + stored + "\r\n");
    StartMini();
    EXPECT_EQ(Stored("AutoRun"), saved) << stored;
    EXPECT_EQ(QFile::exists(EntryPath()), saved == "True") << stored;
    EXPECT_EQ(mini_->MenuItem("Menu_AutoRun")->isChecked(), saved == "True") << stored;
  }
}

// Start at login is on only when its entry is there: an entry that could not be written leaves
// the mark off and "False" stored, at start-up and on request.
TEST_F(ServicesTest, AnEntryThatCannotBeWrittenLeavesStartAtLoginOff) {
  const QString autostart = folder_.filePath(QStringLiteral("autostart"));
  for (const bool dangling_link : {false, true}) {
    SCOPED_TRACE(dangling_link ? "a link to nowhere" : "a file");
    QFile::remove(autostart);
    if (dangling_link) {
      ASSERT_TRUE(QFile::link(folder_.filePath(QStringLiteral("gone")), autostart));
    } else {
      QFile blocker(autostart);
      ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    }
    WriteIni("[System]\r\nAutoRun=True\r\n");
    StartMini();
    EXPECT_FALSE(mini_->MenuItem("Menu_AutoRun")->isChecked());
    EXPECT_EQ(Stored("AutoRun"), "False");
    mini_->MenuItem("Menu_AutoRun")->trigger();
    Settle();
    EXPECT_FALSE(mini_->MenuItem("Menu_AutoRun")->isChecked());
    EXPECT_EQ(Stored("AutoRun"), "False");
  }
}

// A program folder that no entry can name (not UTF-8, or holding a percent sign that the
// launcher cannot take) gives no entry and leaves start at login off, never another path.
TEST_F(ServicesTest, AProgramFolderNoEntryCanNameLeavesStartAtLoginOff) {
  for (const std::string name : {"caf\xe9", "100%"}) {
    SCOPED_TRACE(name);
    program_dir_ = folder_.path().toStdString() + "/" + name;
    StartMini();
    mini_->MenuItem("Menu_AutoRun")->trigger();
    Settle();
    EXPECT_FALSE(mini_->MenuItem("Menu_AutoRun")->isChecked());
    EXPECT_EQ(Stored("AutoRun"), "False");
    EXPECT_FALSE(QFile::exists(EntryPath()));
  }
}

TEST_F(ServicesTest, TheCounterIsLoadedAtStartUpAndAtEveryTickWithItsCookie) {
  const std::string host = ServerWithRecord("1.0\r\nFalse\r\nd\r\nf\r\nhttp://dl.example/");
  StartMini(host);
  EXPECT_TRUE(QTest::qWaitFor([this] { return RequestCount(wire::kCountPath) >= 1; }, 10000));
  EXPECT_EQ(RequestCount(wire::kCountPath), 1U);
  // The timer's own ticks, made quick.
  mini_->CountTimer()->setInterval(20);
  EXPECT_TRUE(QTest::qWaitFor([this] { return RequestCount(wire::kCountPath) >= 3; }, 10000));
  mini_->CountTimer()->stop();
  // One visitor: the cookie of the first load came back on the later ones.
  const auto loads = Server().CounterLoads();
  ASSERT_EQ(loads.size(), 1U);
  EXPECT_GE(loads.begin()->second, 3);
}

}  // namespace
