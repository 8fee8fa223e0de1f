#include "shell/quit_signals.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <csignal>
#include <utility>

namespace shell {
namespace {

int g_signal_pipe[2] = {-1, -1};

void WriteByte(int /*signal_number*/) {
  const char byte = 1;
  // Only async-signal-safe calls here; a lost byte still leaves one in the pipe.
  [[maybe_unused]] const ssize_t written = ::write(g_signal_pipe[0], &byte, 1);
}

}  // namespace

void OnQuitSignal(QObject* owner, std::function<void()> handler) {
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_signal_pipe) != 0) return;
  auto* notifier = new QSocketNotifier(g_signal_pipe[1], QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, owner, [handler = std::move(handler)] {
    char byte = 0;
    [[maybe_unused]] const ssize_t got = ::read(g_signal_pipe[1], &byte, 1);
    handler();
  });
  struct sigaction action {};
  action.sa_handler = WriteByte;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    ::sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace shell
