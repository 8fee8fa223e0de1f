// The panel's side of the services: the update check, start at login and the usage counter.
// The decisions are plain functions in services/.

#include <QAction>
#include <string>

#include "net/counter_visitor.h"
#include "net/endpoints.h"
#include "net/http_request.h"
#include "services/autostart.h"
#include "services/update_check.h"
#include "shell/main_menu.h"
#include "shell/mini.h"

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

}  // namespace

void Mini::ConnectServicesMenu() {
  QObject::connect(main_->Item("Menu_AutoRun"), &QAction::triggered, this, [this] {
    QString choice =
        MenuItem("Menu_AutoRun")->isChecked() ? QStringLiteral("False") : QStringLiteral("True");
    SetAutoRun(choice);
  });
  QObject::connect(main_->Item("Menu_CheckUpDate"), &QAction::triggered, this,
                   [this] { CheckUpDate(QStringLiteral("1")); });
}

void Mini::CheckUpDate(const QString& check_mode) {
  const std::string url = endpoints::VersionUrl(environment_.server_host);
  const bool on_request = check_mode == QStringLiteral("1");
  Fetch(*update_fetch_,
        [url](const Code::HttpLimits& limits) {
          return Code::HttpRequest(url, false, "GET", "", "", "", "", false, "gb2312", limits);
        },
        [this, on_request](const std::string& record) { AnswerUpdate(record, on_request); });
}

void Mini::AnswerUpdate(const std::string& record, bool on_request) {
  const std::optional<services::UpdateMessage> message = services::DecideUpdate(record, on_request);
  if (!message) return;
  // The panel sits above every managed window; the question must not open under it.
  lower();
  const bool accepted =
      environment_.ask(Text(message->text), Text(message->title), message->with_cancel);
  KeepOnTop();
  if (!accepted || !message->download_address) return;
  OpenPage(*message->download_address);
  ExitSystem();
}

void Mini::SetAutoRun(QString& auto_run_string) {
  const std::string choice = services::NormaliseAutoRun(auto_run_string.toUtf8().toStdString());
  auto_run_string = QString::fromStdString(choice);
  const std::string autostart_dir = environment_.autostart_dir.toStdString();
  const bool on = choice == "True";
  // The mark and the setting follow the request even when the entry cannot be written.
  if (on) {
    Code::SetRegValue(autostart_dir, services::kAutostartName,
                      services::CommandPath(environment_.program_dir.toStdString()));
  } else {
    Code::DeleteRegValue(autostart_dir, services::kAutostartName);
  }
  MenuItem("Menu_AutoRun")->setChecked(on);
  Write("AutoRun", choice);
}

void Mini::CountVisit() {
  if (!counter_) counter_ = std::make_unique<Code::CounterVisitor>();
  counter_->Visit(endpoints::CounterUrl(environment_.server_host));
}
