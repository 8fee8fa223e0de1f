#include "shell/instance_watch.h"

#include <unistd.h>
#include <QSocketNotifier>
#include <cstdlib>
#include <utility>

namespace shell {

namespace {

std::string RuntimeFolder() {
  const char* folder = std::getenv("XDG_RUNTIME_DIR");
  return folder != nullptr ? folder : "";
}

}  // namespace

InstanceWatch::InstanceWatch(const std::string& settings_file, QObject* parent)
    : QObject(parent), instance_(services::InstanceKey(settings_file), RuntimeFolder()) {}

bool InstanceWatch::AnotherRuns() const {
  return instance_.state() == services::SingleInstance::State::kRunning;
}

void InstanceWatch::OnShowRequest(std::function<void()> show) {
  const int listening = instance_.listen_descriptor();
  if (listening < 0 || show_) return;
  show_ = std::move(show);
  auto* notifier = new QSocketNotifier(listening, QSocketNotifier::Read, this);
  QObject::connect(notifier, &QSocketNotifier::activated, this, [this] { AcceptCalls(); });
}

void InstanceWatch::AcceptCalls() {
  for (int connection = instance_.Accept(); connection >= 0; connection = instance_.Accept()) {
    Hear(connection);
  }
}

void InstanceWatch::Hear(int connection) {
  // The caller sends its byte right after connecting, but it may not be there yet: wait for
  // it on the event loop rather than block the panel.
  auto* notifier = new QSocketNotifier(connection, QSocketNotifier::Read, this);
  QObject::connect(notifier, &QSocketNotifier::activated, this, [this, notifier, connection] {
    const std::optional<char> request = services::ReadRequest(connection);
    notifier->setEnabled(false);
    notifier->deleteLater();
    ::close(connection);
    if (request == services::kShowRequest) show_();
  });
}

}  // namespace shell
