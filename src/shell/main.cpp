#include <QApplication>

#include "shell/environment.h"
#include "shell/mini.h"
#include "shell/quit_signals.h"

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessal"));
  // Hiding the panel must not end the program; only the exit command does.
  QApplication::setQuitOnLastWindowClosed(false);

  Mini mini(RealEnvironment());
  shell::OnQuitSignal(&mini, [&mini] { mini.ExitSystem(); });
  QObject::connect(&application, &QGuiApplication::commitDataRequest, &mini,
                   [&mini](QSessionManager& /*manager*/) { mini.ExitSystem(); });
  mini.Load();
  return QApplication::exec();
}
