#include "tests/support/local_server.h"

#include "net/http_request.h"

namespace lumetta_test {

std::string WidgetGet(const std::string& url) {
  return Code::HttpRequest(url, false, "GET", "", "", "", "", false, "gb2312");
}

}  // namespace lumetta_test
