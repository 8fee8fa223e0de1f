#include "shell/quit_signals.h"

#include <sys/socket.h>
#include <unistd.h>
#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <utility>

namespace shell {
namespace {

// The write end as the handler sees it: set once, before any handler is installed, and never
// changed, so the handler reads one plain value.
volatile sig_atomic_t g_write_end = -1;

void WriteByte(int /*signal_number*/) {
  // Only async-signal-safe calls here, and errno as the interrupted code left it. The write
  // end does not block: with the pipe full a byte is already waiting, and this one can go.
  const int saved_errno = errno;
  const char byte = 1;
  [[maybe_unused]] const ssize_t written = ::write(g_write_end, &byte, 1);
  errno = saved_errno;
}

}  // namespace

void OnQuitSignal(QObject* owner, std::function<void()> handler) {
  // One handler for the process: a second call would replace the pipe under a running one.
  if (g_write_end != -1) return;
  int ends[2] = {-1, -1};
  if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0, ends) != 0) return;
  const int read_end = ends[1];
  auto* notifier = new QSocketNotifier(read_end, QSocketNotifier::Read, owner);
  QObject::connect(notifier, &QSocketNotifier::activated, owner,
                   [read_end, handler = std::move(handler)] {
                     // Several signals may have arrived; one call handles them all.
                     char bytes[16];
                     while (::read(read_end, bytes, sizeof bytes) > 0) {
                     }
                     handler();
                   });
  g_write_end = ends[0];

  struct sigaction action {};
  action.sa_handler = WriteByte;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  for (const int signal_number : {SIGTERM, SIGINT, SIGHUP}) {
    ::sigaction(signal_number, &action, nullptr);
  }
}

}  // namespace shell
