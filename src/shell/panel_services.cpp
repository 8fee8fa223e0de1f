#include "shell/panel_services.h"

#include <QAction>
#include <QTimer>
#include <QWidget>
#include <utility>

#include "net/counter_visitor.h"
#include "net/endpoints.h"
#include "services/autostart.h"
#include "services/update_check.h"
#include "settings/settings_schema.h"
#include "shell/named_timer.h"
#include "shell/qt_text.h"

namespace shell {

using settings::Key;

PanelServices::PanelServices(Panel panel, const Environment& environment, MenuItemLookup menu_item,
                             const IniClass& ini, const StartupBudget& budget)
    : panel_(std::move(panel)),
      environment_(environment),
      menu_item_(std::move(menu_item)),
      ini_(ini),
      timer_(MakeTimer(panel_.widget, "CountTimer", 60000)),
      update_fetch_(budget) {
  QObject::connect(timer_, &QTimer::timeout, panel_.widget, [this] { CountVisit(); });
}

PanelServices::~PanelServices() = default;

void PanelServices::ConnectMenu(const Main& menu) {
  QObject::connect(menu.Item("Menu_AutoRun"), &QAction::triggered, panel_.widget, [this] {
    QString choice =
        menu_item_("Menu_AutoRun")->isChecked() ? QStringLiteral("False") : QStringLiteral("True");
    SetAutoRun(choice);
  });
  QObject::connect(menu.Item("Menu_CheckUpDate"), &QAction::triggered, panel_.widget,
                   [this] { CheckUpDate(QStringLiteral("1")); });
}

void PanelServices::CheckUpDate(const QString& check_mode) {
  const bool on_request = check_mode == QStringLiteral("1");
  update_fetch_.Get(
      endpoints::VersionUrl(environment_.server_host),
      [this, on_request](const std::string& record) { AnswerUpdate(record, on_request); });
}

void PanelServices::AnswerUpdate(const std::string& record, bool on_request) {
  const std::optional<services::UpdateMessage> message = services::DecideUpdate(record, on_request);
  if (!message) return;
  // The panel sits above every managed window; the question must not open under it.
  panel_.widget->lower();
  const bool accepted =
      environment_.ask(Text(message->text), Text(message->title), message->with_cancel);
  panel_.question_answered();
  panel_.keep_on_top();
  if (!accepted || !message->download_address) return;
  panel_.open_page(*message->download_address);
  panel_.exit_system();
}

void PanelServices::SetAutoRun(QString& auto_run_string) {
  std::string choice = settings::Normalised(Key::kAutoRun, Utf8(auto_run_string));
  const std::string& autostart_dir = environment_.autostart_dir;
  bool on = choice == "True";
  if (on) {
    Code::SetRegValue(autostart_dir, services::kAutostartName,
                      services::CommandPath(environment_.program_dir));
    // Without an entry nothing starts at login: the mark and the setting must not say it does.
    if (Code::RegLastResult() != 0) {
      on = false;
      choice = "False";
    }
  } else {
    Code::DeleteRegValue(autostart_dir, services::kAutostartName);
  }
  auto_run_string = QString::fromStdString(choice);
  menu_item_("Menu_AutoRun")->setChecked(on);
  Write(ini_, Key::kAutoRun, choice);
}

void PanelServices::ApplyStoredAutoRun() {
  QString auto_run = QString::fromStdString(Read(ini_, Key::kAutoRun));
  SetAutoRun(auto_run);
}

void PanelServices::CountVisit() {
  if (!counter_) counter_ = std::make_unique<Code::CounterVisitor>();
  counter_->Visit(endpoints::CounterUrl(environment_.server_host));
}

}  // namespace shell
