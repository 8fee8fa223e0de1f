#include "tests/shell/widget_fixture.h"

#include <QAction>
#include <QFile>
#include <QMenu>
#include <QTest>

#include "net/wire_paths.h"
#include "settings/stored_values.h"
#include "shell/tray.h"
#include "text/gbk.h"

void WidgetTest::SetUp() { ASSERT_TRUE(folder_.isValid()); }

void WidgetTest::TearDown() {
  mini_.reset();
  if (server_) server_->Stop();
  Tray::DeleteTrayIcon();
}

Mini& WidgetTest::MakeMini(const std::string& server_host) {
  Environment environment;
  const std::string folder = folder_.path().toStdString();
  environment.program_dir = program_dir_.empty() ? folder : program_dir_;
  environment.settings_file = settings::SettingsFilePath(folder);
  environment.server_host = server_host;
  environment.autostart_dir = folder + "/autostart";
  environment.open_page = [this](const std::string& address) { opened_pages_.push_back(address); };
  environment.ask = [this](const QString& text, const QString& title, bool with_cancel) {
    questions_.push_back({text, title, with_cancel});
    if (while_asking_) while_asking_();
    return answer_;
  };
  environment.notify = [this](const QString& summary, const QString& body,
                              std::uint32_t replaces_id, const NotifyAnswer& answer) {
    notifications_.push_back({summary, body, replaces_id});
    if (!notification_service_) {
      answer(std::nullopt);
      return;
    }
    answer(replaces_id != 0 ? replaces_id : ++last_notification_id_);
  };
  environment.end_program = [this] { ++program_ends_; };
  environment.now = [this] { return std::chrono::steady_clock::now() + clock_ahead_; };
  environment.wall_now = [this] { return wall_now_; };
  mini_ = std::make_unique<Mini>(std::move(environment));
  return *mini_;
}

Mini& WidgetTest::StartMini(const std::string& server_host) {
  Mini& mini = MakeMini(server_host);
  mini.Load();
  return mini;
}

void WidgetTest::Settle() {
  ASSERT_TRUE(QTest::qWaitFor([this] { return mini_->FetchesIdle(); }, 20000))
      << "a fetch never finished";
}

lumetta_server::QuoteServer& WidgetTest::Server() {
  if (!server_) {
    lumetta_server::ServerOptions options;
    options.quote_step = std::chrono::milliseconds(0);
    server_ = std::make_unique<lumetta_server::QuoteServer>(options);
    EXPECT_TRUE(server_->Start());
    lumetta_server::ScriptedReply not_found;
    not_found.status = 404;
    server_->Script(std::string(wire::kQuoteDetailPath), not_found);
  }
  return *server_;
}

void WidgetTest::Reply(std::string_view path, const std::string& utf8_body) {
  lumetta_server::ScriptedReply reply;
  reply.body = text::Utf8ToGbk(utf8_body);
  Server().Script(std::string(path), reply);
}

size_t WidgetTest::RequestCount(std::string_view path) const {
  if (!server_) return 0;
  size_t count = 0;
  for (const auto& request : server_->Requests()) {
    if (request.target.rfind(path, 0) == 0) ++count;
  }
  return count;
}

QStringList WidgetTest::Marked(std::string_view submenu) const {
  QStringList marked;
  for (const QAction* action : mini_->MenuItem(submenu)->menu()->actions()) {
    if (action->isChecked()) marked << action->objectName();
  }
  return marked;
}

QString WidgetTest::IniPath() const { return folder_.filePath(QStringLiteral("System.ini")); }

std::string WidgetTest::IniText() const {
  QFile file(IniPath());
  if (!file.open(QIODevice::ReadOnly)) return {};
  return file.readAll().toStdString();
}

void WidgetTest::WriteIni(const std::string& text) const {
  QFile file(IniPath());
  ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
  file.write(text.data(), static_cast<qint64>(text.size()));
}
