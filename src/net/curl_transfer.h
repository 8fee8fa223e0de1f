#pragma once

#include <atomic>
#include <string>
#include <vector>

#include "net/http_request.h"

namespace Code {

// One request, fully normalised, ready for the wire.
struct PreparedRequest {
  std::string url;
  std::string method;    // request-line text, exactly as it is sent
  bool is_post = false;  // sends `body`
  std::string body;
  std::vector<std::string> header_lines;  // "Name: value", in sending order
  bool ignore_certificate_errors = false;
};

struct TransferOutcome {
  bool completed = false;  // the whole reply arrived within the limits
  long status = 0;         // final status after redirects
  std::string body;
};

// Runs one transfer on its own easy handle, created and released here. `abort`, when given, is
// polled while the transfer waits and ends it early once set.
TransferOutcome PerformTransfer(const PreparedRequest& request, const HttpLimits& limits,
                                const std::atomic<bool>* abort = nullptr);

}  // namespace Code
