#pragma once

// The panel's services: the update check, start at login and the usage counter, with
// CountTimer. The decisions are plain functions in services/; this object owns the timer, the
// update fetch and the counter's visitor.

#include <QString>
#include <functional>
#include <memory>
#include <string>

#include "shell/environment.h"
#include "shell/main_menu.h"
#include "shell/server_text.h"

class IniClass;
class QTimer;
class QWidget;
namespace Code {
class CounterVisitor;
}

namespace shell {

class PanelServices {
 public:
  // What the services ask of the panel around a question and after an accepted update.
  struct Panel {
    QWidget* widget;
    std::function<void()> keep_on_top;
    std::function<void(const std::string& address)> open_page;
    std::function<void()> exit_system;
    // Runs once a question has been answered.
    std::function<void()> question_answered;
  };

  PanelServices(Panel panel, const Environment& environment, MenuItemLookup menu_item,
                const IniClass& ini, const StartupBudget& budget);
  ~PanelServices();
  PanelServices(const PanelServices&) = delete;
  PanelServices& operator=(const PanelServices&) = delete;

  void ConnectMenu(const Main& menu);
  void CheckUpDate(const QString& check_mode);
  void SetAutoRun(QString& auto_run_string);
  // Start-up: start at login as stored.
  void ApplyStoredAutoRun();
  void CountVisit();

  QTimer* Timer() const { return timer_; }
  bool Busy() const { return update_fetch_.Busy(); }

 private:
  void AnswerUpdate(const std::string& record, bool on_request);

  Panel panel_;
  const Environment& environment_;
  MenuItemLookup menu_item_;
  const IniClass& ini_;
  QTimer* timer_;
  ServerText update_fetch_;
  std::unique_ptr<Code::CounterVisitor> counter_;
};

}  // namespace shell
