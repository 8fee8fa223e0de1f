#pragma once

// Texts fetched from the quote server. While the panel starts, each request runs at once and
// all of them share one time budget, so a silent server cannot keep the panel away for long;
// once it runs, each kind of request goes to its own background worker.

#include <chrono>
#include <functional>
#include <string>

#include "shell/fetcher.h"

class QObject;

namespace shell {

class StartupBudget {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  explicit StartupBudget(Clock now = [] { return std::chrono::steady_clock::now(); })
      : now_(std::move(now)) {}

  // Start-up's requests from now on share `budget` between them.
  void Begin(std::chrono::milliseconds budget) { deadline_ = now_() + budget; }
  // The panel runs: requests go to the background from now on.
  void End() { running_ = true; }
  bool Running() const { return running_; }
  // What is left of the budget, never less than zero.
  std::chrono::milliseconds Left() const;

 private:
  Clock now_;
  std::chrono::steady_clock::time_point deadline_{};
  bool running_ = false;
};

// One kind of text from the quote server (the quote list, the headlines, the version record).
class ServerText {
 public:
  ServerText(QObject* receiver, const StartupBudget& budget);

  // Fetches `url`; `apply` gets the decoded reply, the empty text on failure. Once the panel
  // runs, a request while the previous one of this kind is still out does nothing.
  void Get(const std::string& url, Fetcher::Apply apply);
  bool Busy() const { return fetcher_.Busy(); }

 private:
  Fetcher fetcher_;
  const StartupBudget& budget_;
};

}  // namespace shell
