#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace lumetta_server {

// One request as it arrived on the wire.
struct LoggedRequest {
  std::string method;  // exactly as sent, letter case included
  std::string target;  // path and query as received
  // Header names exactly as sent and values without surrounding blanks, in arrival order.
  std::vector<std::pair<std::string, std::string>> headers;
  std::string body;
  std::string head;  // request line and header lines, byte for byte, through the blank line
};

// Parses the request line and header lines at the start of `raw`. Empty until the blank line
// that ends the head has arrived; `body` stays empty.
std::optional<LoggedRequest> ParseRequestHead(std::string_view raw);

// The value of the first header called `name` (compared without regard to case).
std::optional<std::string> HeaderValue(const LoggedRequest& request, std::string_view name);

// True when the head announces a body: a Content-Length other than "0", or any
// Transfer-Encoding.
bool DeclaresBody(const LoggedRequest& request);

}  // namespace lumetta_server
