#include <QApplication>

#include "shell/environment.h"
#include "shell/mini.h"
#include "shell/quit_signals.h"

// The quote server's host[:port], fixed when the program is built.
#ifndef LUMETTA_SERVER_HOST
#error "LUMETTA_SERVER_HOST must name the quote server"
#endif

int main(int argc, char* argv[]) {
  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tessal"));
  // Hiding the panel must not end the program; only the exit command does.
  QApplication::setQuitOnLastWindowClosed(false);

  Mini mini(RealEnvironment(LUMETTA_SERVER_HOST));
  shell::OnQuitSignal(&mini, [&mini] { mini.ExitSystem(); });
  // A session checkpoint may not end the session: save the place and go on. Logout and
  // shutdown then close the window or send a signal, which end the program.
  QObject::connect(&application, &QGuiApplication::commitDataRequest, &mini,
                   [&mini](QSessionManager& /*manager*/) { mini.SavePosition(); });
  mini.Load();
  return QApplication::exec();
}
