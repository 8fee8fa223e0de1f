#pragma once

// `InstanceWatch`: the panel's side of one panel per folder. Made before start-up touches
// anything, it either holds the folder's name or has asked the folder's running panel to
// show itself, in which case this start ends at once.

#include <QObject>
#include <QString>
#include <functional>

#include "services/single_instance.h"

namespace shell {

class InstanceWatch : public QObject {
 public:
  // For the panel that would write `settings_file`.
  explicit InstanceWatch(const std::string& settings_file, QObject* parent = nullptr);

  // True when a panel already runs from this folder; it has been asked to show itself.
  bool AnotherRuns() const;

  // From the next turn of the event loop on, each later start from this folder calls `show`.
  // Calls made before are kept waiting by the system and heard then.
  void OnShowRequest(std::function<void()> show);

 private:
  void AcceptCalls();
  void Hear(int connection);

  services::SingleInstance instance_;
  std::function<void()> show_;
};

}  // namespace shell
