#include <unistd.h>
#include <QMessageBox>
#include <cstdio>
#include <utility>

#include "settings/program_folder.h"
#include "settings/settings_location.h"
#include "shell/desktop_notifier.h"
#include "shell/environment.h"
#include "shell/open_url.h"

Environment RealEnvironment(const std::string& server_host, const std::string& settings_file) {
  Environment environment;
  // Bytes end to end: the toolkit's folder is text and loses a name that is not UTF-8.
  environment.program_dir = settings::RunningProgramFolder();
  environment.server_host = server_host;
  environment.settings_file = settings_file;
  const std::string config_folder = settings::ThisUserConfigFolder();
  if (!config_folder.empty()) environment.autostart_dir = config_folder + "/autostart";
  environment.open_page = [](const std::string& address) { Code::LaunchInBrowser(address); };
  environment.ask = [](const QString& text, const QString& title, bool with_cancel) {
    QMessageBox box(QMessageBox::Question, title, text,
                    with_cancel ? (QMessageBox::Ok | QMessageBox::Cancel) : QMessageBox::Ok);
    // The texts come from the server: shown as they are, never as markup.
    box.setTextFormat(Qt::PlainText);
    box.setWindowFlag(Qt::WindowStaysOnTopHint, true);
    const int answer = box.exec();
    // Closing a box that only offers OK counts as OK.
    return !with_cancel || answer == QMessageBox::Ok;
  };
  environment.notify = [](const QString& summary, const QString& body, std::uint32_t replaces_id,
                          NotifyAnswer answer) {
    shell::NotifyDesktop(summary, body, replaces_id, std::move(answer));
  };
  environment.end_program = [] {
    // At once: no further events, no destructors racing the window system.
    std::fflush(nullptr);
    ::_exit(0);
  };
  return environment;
}
