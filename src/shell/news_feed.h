#pragma once

// The news ticker on the panel: loading the headlines, rotating them on NewsTimer's ticks,
// the click and the hover look. What to show next is decided by the plain functions in news/;
// this object owns the timer, the fetch, the list, the position in it and the shown link.

#include <QString>
#include <functional>
#include <string>

#include "shell/server_text.h"

class QTimer;
class QWidget;

namespace shell {

class Control;

class NewsFeed {
 public:
  using OpenPage = std::function<void(const std::string& address)>;

  NewsFeed(QWidget* panel, Control* label, const StartupBudget& budget, std::string server_host,
           OpenPage open_page);

  // Loads the news list; `then` runs once the reply is applied.
  void LoadNews(std::function<void()> then = {});
  void Tick();
  void Click();
  void HoverOn();
  void HoverOff();

  const QString& List() const { return list_; }
  QTimer* Timer() const { return timer_; }
  bool Busy() const { return fetch_.Busy(); }

 private:
  void ShowNextHeadline();

  QWidget* panel_;
  Control* label_;
  std::string server_host_;
  OpenPage open_page_;
  QTimer* timer_;
  ServerText fetch_;
  QString list_;
  int index_ = 0;
  // The link of the headline on view.
  std::string link_;
};

}  // namespace shell
