#include "shell/server_text.h"

#include <algorithm>
#include <utility>

#include "net/http_request.h"

namespace shell {

Code::HttpReply FetchServerText(const std::string& url, const Code::HttpLimits& limits) {
  return Code::HttpRequestReply(url, false, "GET", "", "", "", "", "gb2312", limits);
}

ServerText::ServerText(QObject* receiver, const StartupBudget& budget)
    : fetcher_(receiver), budget_(budget) {}

void ServerText::Get(const std::string& url, Apply apply) {
  if (budget_.StartupOver()) {
    fetcher_.Start([url](const Code::HttpLimits& limits) { return FetchServerText(url, limits); },
                   [apply = std::move(apply)](const Code::HttpReply& reply) { apply(reply.text); });
    return;
  }
  const std::chrono::milliseconds left = budget_.Left();
  if (left <= std::chrono::milliseconds(0)) {
    apply({});
    return;
  }
  Code::HttpLimits limits;
  limits.total_timeout = left;
  limits.connect_timeout = std::min(limits.connect_timeout, left);
  apply(FetchServerText(url, limits).text);
}

}  // namespace shell
