#include "net/http_request.h"

#include <charconv>
#include <string_view>
#include <utility>

#include "net/bytes_to_text.h"
#include "net/curl_transfer.h"
#include "net/detached_transfer.h"
#include "text/ascii_case.h"

namespace Code {
namespace {

constexpr std::string_view kUserAgent =
    "Mozilla/4.0 (compatible; MSIE 7.0; Windows NT 5.1; Trident/4.0; .NET CLR 2.0.50727; .NET "
    "CLR 3.0.4506.2152; .NET CLR 3.5.30729)";

// A valid method keeps the caller's spelling; anything else becomes GET.
std::string NormalizeMethod(const std::string& method) {
  const std::string lower = text::AsciiLower(method);
  return (lower == "get" || lower == "post") ? method : "GET";
}

std::string NormalizeCharset(const std::string& charset) {
  const std::string lower = text::AsciiLower(charset);
  return (lower == "gb2312" || lower == "utf-8") ? charset : "gb2312";
}

std::string NormalizePostType(const std::string& post_type) {
  return (post_type == "1" || post_type == "2") ? post_type : "1";
}

// A value with a line break would smuggle extra header lines in; such a header is left out.
void AddHeader(std::vector<std::string>& lines, std::string_view name, std::string_view value) {
  if (value.find_first_of("\r\n") != std::string_view::npos) return;
  std::string line(name);
  line += ": ";
  line += value;
  lines.push_back(std::move(line));
}

// libcurl refuses an address with a space in it; the request object of the original platform
// sent such an address with each space as %20, so addresses built by callers keep working.
std::string EncodeSpaces(std::string_view url) {
  std::string encoded;
  encoded.reserve(url.size());
  for (const char c : url) {
    if (c == ' ') {
      encoded += "%20";
    } else {
      encoded += c;
    }
  }
  return encoded;
}

std::string DecimalText(std::size_t value) {
  char digits[24];
  const auto result = std::to_chars(digits, digits + sizeof digits, value);
  return std::string(digits, result.ptr);
}

}  // namespace

PreparedRequest PrepareRequest(const std::string& url, bool use_server_xml_http,
                               const std::string& method, const std::string& data,
                               const std::string& referer, const std::string& post_type,
                               const std::string& cookie) {
  PreparedRequest request;
  request.ignore_certificate_errors = use_server_xml_http;
  request.method = NormalizeMethod(method);
  request.is_post = text::AsciiLower(request.method) == "post";
  request.url = url;
  if (!request.is_post && !data.empty()) {
    request.url += url.find('?') == std::string::npos ? '?' : '&';
    request.url += data;
  }
  request.url = EncodeSpaces(request.url);
  request.header_lines = BrowserHeaderLines(referer);
  std::vector<std::string>& lines = request.header_lines;
  if (request.is_post) {
    AddHeader(lines, "Content-Type",
              NormalizePostType(post_type) == "2" ? "application/stream"
                                                  : "application/x-www-form-urlencoded");
    // Bytes rather than characters: the length has to match the body that goes out.
    AddHeader(lines, "Content-Length", DecimalText(data.size()));
    request.body = data;
  }
  if (!cookie.empty()) AddHeader(lines, "Cookie", cookie);
  return request;
}

HttpReply ReplyOf(const TransferOutcome& outcome, const std::string& charset) {
  if (!outcome.completed) return {};
  HttpReply reply{outcome.status, {}};
  if (outcome.status == 200) reply.text = BytesToText(outcome.body, NormalizeCharset(charset));
  return reply;
}

std::vector<std::string> BrowserHeaderLines(std::string_view referer) {
  std::vector<std::string> lines;
  AddHeader(lines, "Accept", "*/*");
  AddHeader(lines, "Accept-Language", "zh-cn");
  if (!referer.empty()) AddHeader(lines, "Referer", referer);
  AddHeader(lines, "User-Agent", kUserAgent);
  AddHeader(lines, "Cache-Control", "no-cache");
  return lines;
}

std::string HttpRequest(const std::string& url, bool use_server_xml_http, const std::string& method,
                        const std::string& data, const std::string& referer,
                        const std::string& post_type, const std::string& cookie, bool async,
                        const std::string& charset) {
  return HttpRequest(url, use_server_xml_http, method, data, referer, post_type, cookie, async,
                     charset, HttpLimits{});
}

std::string HttpRequest(const std::string& url, bool use_server_xml_http, const std::string& method,
                        const std::string& data, const std::string& referer,
                        const std::string& post_type, const std::string& cookie, bool async,
                        const std::string& charset, const HttpLimits& limits) {
  if (!async) {
    return HttpRequestReply(url, use_server_xml_http, method, data, referer, post_type, cookie,
                            charset, limits)
        .text;
  }
  if (url.empty()) return {};
  StartDetachedTransfer(
      PrepareRequest(url, use_server_xml_http, method, data, referer, post_type, cookie), limits);
  return {};
}

HttpReply HttpRequestReply(const std::string& url, bool use_server_xml_http,
                           const std::string& method, const std::string& data,
                           const std::string& referer, const std::string& post_type,
                           const std::string& cookie, const std::string& charset,
                           const HttpLimits& limits) {
  if (url.empty()) return {};
  const PreparedRequest request =
      PrepareRequest(url, use_server_xml_http, method, data, referer, post_type, cookie);
  return ReplyOf(PerformTransfer(request, limits, limits.abort), charset);
}

}  // namespace Code
