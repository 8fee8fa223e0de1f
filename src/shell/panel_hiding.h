#pragma once

// `PanelHiding`: the panel out of sight at once, and back, as `Tessal --toggle` (or a key bound
// to it) asks. Out of sight nothing of the panel is on screen: the panel, its own windows (the
// day's chart, the alert dialog) and an open menu go, and the tray icon shows no alert balloon;
// the icon itself stays, so that the program can still be found and quit, and alerts still
// reach the desktop's notification service. Nothing is moved and nothing is written, so that
// the panel comes back exactly where it was, docked or not.

#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

namespace shell {

class PanelHiding {
 public:
  // `changed` hears each change of the state, once the windows have gone or come back.
  PanelHiding(QWidget* panel, std::function<void(bool hidden)> changed);

  // Out of sight while on view; back when out of sight, or hidden by its own hide button.
  void Toggle();
  void Hide();
  // Every way of showing the panel comes here, so that none leaves the state behind: the
  // panel on view, and the windows that went with it back.
  void Show();
  // True while out of sight through Hide.
  bool Hidden() const { return hidden_; }

 private:
  QWidget* panel_;
  std::function<void(bool hidden)> changed_;
  bool hidden_ = false;
  // The panel's own windows that were on view when it went; a closed one is gone for good.
  std::vector<QPointer<QWidget>> went_along_;
};

}  // namespace shell
