#include "shell/instance_watch.h"

#include <unistd.h>
#include <QSocketNotifier>
#include <QTimer>
#include <cstdlib>
#include <utility>

namespace shell {

namespace {

std::string RuntimeFolder() {
  const char* folder = std::getenv("XDG_RUNTIME_DIR");
  return folder != nullptr ? folder : "";
}

// Accepts per turn of the event loop, so that a caller connecting without end cannot keep the
// panel from drawing and hearing its menu.
constexpr int kAcceptsPerTurn = 64;

}  // namespace

InstanceWatch::InstanceWatch(const std::string& settings_file, char request, QObject* parent)
    : InstanceWatch(settings_file, RuntimeFolder(), Limits{}, request, parent) {}

InstanceWatch::InstanceWatch(const std::string& settings_file, const std::string& runtime_folder,
                             Limits limits, char request, QObject* parent)
    : QObject(parent),
      instance_(services::InstanceKey(settings_file), runtime_folder, request),
      limits_(limits) {}

bool InstanceWatch::AnotherRuns() const {
  return instance_.state() == services::SingleInstance::State::kRunning;
}

void InstanceWatch::OnRequests(Answers answers) {
  const int listening = instance_.listen_descriptor();
  if (listening < 0 || answering_) return;
  answering_ = true;
  answers_ = std::move(answers);
  listener_ = new QSocketNotifier(listening, QSocketNotifier::Read, this);
  QObject::connect(listener_, &QSocketNotifier::activated, this, [this] { AcceptCalls(); });
}

bool InstanceWatch::Listening() const { return listener_ != nullptr && listener_->isEnabled(); }

void InstanceWatch::AcceptCalls() {
  for (int accepted = 0; accepted < kAcceptsPerTurn; ++accepted) {
    bool out_of_descriptors = false;
    const int connection = instance_.Accept(&out_of_descriptors);
    if (connection < 0) {
      // The waiting call stays readable: watching it now would spin until a descriptor is
      // free. Look again a little later.
      if (out_of_descriptors) {
        listener_->setEnabled(false);
        QTimer::singleShot(limits_.rest, this, [this] { listener_->setEnabled(true); });
      }
      return;
    }
    if (callers_ < limits_.callers) {
      Hear(connection);
    } else {
      HearAtOnce(connection);
    }
  }
}

void InstanceWatch::Hear(int connection) {
  // The caller sends its byte right after connecting, but it may not be there yet: wait for
  // it on the event loop rather than block the panel, and not for long.
  ++callers_;
  auto* notifier = new QSocketNotifier(connection, QSocketNotifier::Read, this);
  auto* timer = new QTimer(this);
  timer->setSingleShot(true);
  QObject::connect(notifier, &QSocketNotifier::activated, this,
                   [this, notifier, timer, connection] {
                     const std::optional<char> request = services::ReadRequest(connection);
                     Drop(notifier, timer, connection);
                     Answer(request);
                   });
  QObject::connect(timer, &QTimer::timeout, this,
                   [this, notifier, timer, connection] { Drop(notifier, timer, connection); });
  timer->start(limits_.request_wait);
}

void InstanceWatch::HearAtOnce(int connection) {
  // As many callers are held as may be: this one is heard only if its request is already in.
  const std::optional<char> request = services::ReadRequest(connection);
  ::close(connection);
  Answer(request);
}

void InstanceWatch::Answer(std::optional<char> request) const {
  if (request == services::kShowRequest && answers_.show) answers_.show();
  if (request == services::kToggleRequest && answers_.toggle) answers_.toggle();
}

void InstanceWatch::Drop(QSocketNotifier* notifier, QTimer* timer, int connection) {
  notifier->setEnabled(false);
  timer->stop();
  notifier->deleteLater();
  timer->deleteLater();
  ::close(connection);
  --callers_;
}

}  // namespace shell
