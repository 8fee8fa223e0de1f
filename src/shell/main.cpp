#include <unistd.h>

#include <QApplication>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

#include "services/single_instance.h"
#include "services/update_check.h"
#include "settings/program_folder.h"
#include "settings/settings_location.h"
#include "shell/command_line.h"
#include "shell/environment.h"
#include "shell/instance_watch.h"
#include "shell/mini.h"
#include "shell/quit_signals.h"
#include "shell/tray.h"
#include "window/platform_choice.h"
#include "window/toolkit_environment.h"

// The quote server's host[:port] chosen when the program is built; --server overrides it.
#ifndef LUMETTA_SERVER_HOST
#error "LUMETTA_SERVER_HOST must name the quote server"
#endif

namespace {

QtMessageHandler toolkit_messages = nullptr;

// While the application is made: the toolkit's complaints about reaching the window system
// become one line, and a window system it cannot reach ends the program with status 1 instead
// of an abort and a core dump.
void WindowSystemMessages(QtMsgType type, const QMessageLogContext& context,
                          const QString& message) {
  if (type == QtFatalMsg) {
    std::fputs(
        "Tessal: no window system to show the panel on: no X display or Wayland compositor "
        "answers, or its Qt platform plugin is not installed\n",
        stderr);
    std::fflush(stderr);
    ::_exit(1);
  }
  const bool about_the_platform =
      context.category != nullptr && std::string_view(context.category).starts_with("qt.qpa");
  if (!about_the_platform && toolkit_messages != nullptr) {
    toolkit_messages(type, context, message);
  }
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication::setApplicationName(QStringLiteral("Tessal"));
  QApplication::setApplicationVersion(
      QString::fromUtf8(services::kRunningVersion.data(), services::kRunningVersion.size()));
  const std::optional<shell::CommandLine> command_line =
      shell::ReadCommandLine(argc, argv, LUMETTA_SERVER_HOST);
  if (!command_line) return 1;

  // On Wayland the panel could not place itself, stay on top or dock: where XWayland is
  // there and the user has not chosen a platform, it runs on X11.
  const QByteArray wayland_display = qgetenv("WAYLAND_DISPLAY");
  const QByteArray session_type = qgetenv("XDG_SESSION_TYPE");
  const QByteArray x_display = qgetenv("DISPLAY");
  const QByteArray qt_platform = qgetenv("QT_QPA_PLATFORM");
  window::ToolkitEnvironment toolkit_start;
  if (window::PreferX11({wayland_display.toStdString(), session_type.toStdString(),
                         x_display.toStdString(), qt_platform.toStdString()})) {
    toolkit_start.Set("QT_QPA_PLATFORM", "xcb");
  }
  // Qt's GLib event loop wakes itself each time a socket watch is added or removed, several
  // times a fetch; Qt's own loop does not. A user's own setting stays.
  if (qEnvironmentVariableIsEmpty("QT_NO_GLIB")) toolkit_start.Set("QT_NO_GLIB", "1");
  toolkit_messages = qInstallMessageHandler(WindowSystemMessages);
  const QApplication application(argc, argv);
  qInstallMessageHandler(toolkit_messages);
  // Read by now: the programs the panel opens get the environment the user gave it.
  toolkit_start.Restore();
  // Hiding the panel must not end the program; only the exit command does.
  QApplication::setQuitOnLastWindowClosed(false);

  const std::string settings_file = settings::SettingsFileFor(settings::RunningProgramFolder());
  // One panel per settings file: a second one would overwrite the first's settings with its
  // own. Before anything is read or written, a start that finds that panel running has it
  // show itself, or hide or show at once for --toggle, and ends.
  shell::InstanceWatch instance(
      settings_file, command_line->toggle ? services::kToggleRequest : services::kShowRequest);
  if (instance.AnotherRuns()) return 0;

  Mini mini(RealEnvironment(command_line->server_host, settings_file));
  shell::OnQuitSignal(&mini, [&mini] { mini.ExitSystem(); });
  // A session checkpoint may not end the session: save the place and go on. Logout and
  // shutdown then close the window or send a signal, which end the program.
  QObject::connect(&application, &QGuiApplication::commitDataRequest, &mini,
                   [&mini](QSessionManager& /*manager*/) { mini.SavePosition(); });
  mini.Load();
  // Only now: a request during start-up would show the panel before it is in place.
  instance.OnRequests(
      {[&mini] { mini.TrayEvent(Tray::kLeftDoubleClick); }, [&mini] { mini.ToggleHidden(); }});
  return QApplication::exec();
}
