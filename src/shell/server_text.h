#pragma once

// Texts fetched from the quote server, within start-up's budget or in the background.

#include <string>

#include "shell/fetcher.h"
#include "shell/startup_budget.h"

class QObject;

namespace shell {

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
