#include "shell/server_text.h"

#include <algorithm>
#include <utility>

#include "net/curl_transfer.h"
#include "net/http_request.h"

namespace shell {

namespace {

constexpr char kServerCharset[] = "gb2312";

}  // namespace

Code::HttpReply FetchServerText(const std::string& url, const Code::HttpLimits& limits) {
  return Code::HttpRequestReply(url, false, "GET", "", "", "", "", kServerCharset, limits);
}

bool StartServerText(Fetcher& fetcher, const std::string& url, Fetcher::Apply apply) {
  return fetcher.Start(Code::PrepareRequest(url, false, "GET", "", "", "", ""), kServerCharset,
                       std::move(apply));
}

ServerText::ServerText(const StartupBudget& budget) : budget_(budget) {}

void ServerText::Get(const std::string& url, Apply apply) {
  if (budget_.StartupOver()) {
    StartServerText(fetcher_, url, [apply = std::move(apply)](const Code::HttpReply& reply) {
      apply(reply.text);
    });
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
