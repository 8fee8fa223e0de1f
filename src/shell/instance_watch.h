#pragma once

// `InstanceWatch`: the panel's side of one panel per folder. Made before start-up touches
// anything, it either holds the folder's name or has sent the folder's running panel this
// start's request (show yourself, or hide or show at once), in which case this start ends.

#include <QObject>
#include <QString>
#include <chrono>
#include <functional>
#include <optional>
#include <string>

#include "services/single_instance.h"

class QSocketNotifier;
class QTimer;

namespace shell {

class InstanceWatch : public QObject {
 public:
  // What a crowd of callers may cost: a later start sends its one byte at once, so anything
  // else on the socket is not one and must not hold descriptors or the panel's thread.
  struct Limits {
    int callers = 8;                               // connections held open at once
    std::chrono::milliseconds request_wait{2000};  // a silent caller is closed after this
    std::chrono::milliseconds rest{200};  // no accepting this long when descriptors run out
  };

  // What the panel does for each request of a later start.
  struct Answers {
    std::function<void()> show;    // a plain start
    std::function<void()> toggle;  // a start with --toggle
  };

  // For the panel that would write `settings_file`, in the user's $XDG_RUNTIME_DIR; a panel
  // already running there is sent `request` (services::kShowRequest or kToggleRequest).
  explicit InstanceWatch(const std::string& settings_file, char request = services::kShowRequest,
                         QObject* parent = nullptr);
  InstanceWatch(const std::string& settings_file, const std::string& runtime_folder, Limits limits,
                char request = services::kShowRequest, QObject* parent = nullptr);

  // True when a panel already runs from this folder; it has been sent this start's request.
  bool AnotherRuns() const;

  // From the next turn of the event loop on, each later start from this folder is answered
  // through `answers`; a request of no known kind is ignored. Calls made before are kept
  // waiting by the system and heard then.
  void OnRequests(Answers answers);

  // Whether later starts are being accepted now: false before OnRequests and while resting
  // after the system ran out of descriptors.
  bool Listening() const;

 private:
  void AcceptCalls();
  void Hear(int connection);
  void HearAtOnce(int connection);
  void Answer(std::optional<char> request) const;
  void Drop(QSocketNotifier* notifier, QTimer* timer, int connection);

  services::SingleInstance instance_;
  Limits limits_;
  Answers answers_;
  bool answering_ = false;
  QSocketNotifier* listener_ = nullptr;
  int callers_ = 0;
};

}  // namespace shell
