#include "shell/server_text.h"

#include <algorithm>
#include <utility>

#include "net/http_request.h"

namespace shell {
namespace {

std::string GetText(const std::string& url, const Code::HttpLimits& limits) {
  return Code::HttpRequest(url, false, "GET", "", "", "", "", false, "gb2312", limits);
}

}  // namespace

ServerText::ServerText(QObject* receiver, const StartupBudget& budget)
    : fetcher_(receiver), budget_(budget) {}

void ServerText::Get(const std::string& url, Fetcher::Apply apply) {
  if (budget_.StartupOver()) {
    fetcher_.Start([url](const Code::HttpLimits& limits) { return GetText(url, limits); },
                   std::move(apply));
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
  apply(GetText(url, limits));
}

}  // namespace shell
