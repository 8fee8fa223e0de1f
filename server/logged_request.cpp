#include "server/logged_request.h"

#include <algorithm>

#include "text/ascii_case.h"

namespace lumetta_server {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kHeadEnd = "\r\n\r\n";

std::string_view TrimBlanks(std::string_view text) {
  const size_t first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

std::optional<LoggedRequest> ParseRequestHead(std::string_view raw) {
  const size_t head_end = raw.find(kHeadEnd);
  if (head_end == std::string_view::npos) return std::nullopt;
  LoggedRequest request;
  request.head = std::string(raw.substr(0, head_end + kHeadEnd.size()));

  std::string_view lines = raw.substr(0, head_end + kLineEnd.size());
  const size_t request_line_end = lines.find(kLineEnd);
  const std::string_view request_line = lines.substr(0, request_line_end);
  lines.remove_prefix(request_line_end + kLineEnd.size());
  const size_t method_end = request_line.find(' ');
  request.method = std::string(request_line.substr(0, method_end));
  if (method_end != std::string_view::npos) {
    const std::string_view rest = request_line.substr(method_end + 1);
    request.target = std::string(rest.substr(0, rest.find(' ')));
  }

  while (!lines.empty()) {
    const size_t line_end = lines.find(kLineEnd);
    const std::string_view line = lines.substr(0, line_end);
    lines.remove_prefix(line_end + kLineEnd.size());
    const size_t colon = line.find(':');
    if (colon == std::string_view::npos) {
      request.headers.emplace_back(std::string(line), std::string());
    } else {
      request.headers.emplace_back(std::string(line.substr(0, colon)),
                                   std::string(TrimBlanks(line.substr(colon + 1))));
    }
  }
  return request;
}

std::optional<std::string> HeaderValue(const LoggedRequest& request, std::string_view name) {
  for (const auto& [header_name, value] : request.headers) {
    if (text::EqualsIgnoreAsciiCase(header_name, name)) return value;
  }
  return std::nullopt;
}

bool DeclaresBody(const LoggedRequest& request) {
  return HeaderValue(request, "Content-Length").value_or("0") != "0" ||
         HeaderValue(request, "Transfer-Encoding").has_value();
}

}  // namespace lumetta_server
