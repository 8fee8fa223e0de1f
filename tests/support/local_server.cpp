#include "tests/support/local_server.h"

#include "net/http_request.h"

namespace lumetta_test {

std::string ServerUrl(std::string_view host, std::string_view path, std::string_view query) {
  std::string url = "http://";
  url += host;
  url += path;
  url += query;
  return url;
}

std::string WidgetGet(const std::string& url) {
  return Code::HttpRequest(url, false, "GET", "", "", "", "", false, "gb2312");
}

}  // namespace lumetta_test
