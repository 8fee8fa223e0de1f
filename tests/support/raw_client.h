#pragma once

#include <curl/curl.h>

#include <string>
#include <vector>

namespace lumetta_test {

struct RawReply {
  CURLcode result = CURLE_OK;
  long status = 0;
  std::string body;  // bytes as received, undecoded
};

// A bare libcurl client that keeps its cookies between requests, like one browser would. Used to
// look at the server's replies byte for byte and to send header sets HttpRequest never sends.
class RawClient {
 public:
  RawClient();
  ~RawClient();
  RawClient(const RawClient&) = delete;
  RawClient& operator=(const RawClient&) = delete;

  RawReply Get(const std::string& url, const std::vector<std::string>& header_lines = {});

 private:
  CURL* handle_;
};

}  // namespace lumetta_test
