#pragma once

// Texts fetched from the quote server, within start-up's budget or in the background.

#include <functional>
#include <string>

#include "shell/fetcher.h"
#include "shell/startup_budget.h"

namespace shell {

// The request that every text from the quote server is fetched with: a GET of `url`, its
// reply decoded from GB2312.
Code::HttpReply FetchServerText(const std::string& url, const Code::HttpLimits& limits);
// The same request, fetched in the background by `fetcher`; false when it did not start.
bool StartServerText(Fetcher& fetcher, const std::string& url, Fetcher::Apply apply);

// One kind of text from the quote server (the quote list, the headlines, the version record).
class ServerText {
 public:
  explicit ServerText(const StartupBudget& budget);

  // What to do with the decoded reply, the empty text on failure.
  using Apply = std::function<void(const std::string& reply)>;

  // Fetches `url` for `apply`. Once the panel runs, a request while the previous one of this
  // kind is still out does nothing.
  void Get(const std::string& url, Apply apply);
  bool Busy() const { return fetcher_.Busy(); }

 private:
  Fetcher fetcher_;
  const StartupBudget& budget_;
};

}  // namespace shell
