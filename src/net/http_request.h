#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace Code {

// Bounds of one request. The defaults keep an unreachable or stalled server from holding the
// panel for long; tests pass shorter ones.
struct HttpLimits {
  std::chrono::milliseconds connect_timeout{5000};
  std::chrono::milliseconds total_timeout{15000};
  // When given, polled while the transfer waits; once set, the request ends as failed.
  const std::atomic<bool>* abort = nullptr;
};

// A reply body larger than this counts as a failure, so a hostile server cannot exhaust memory.
inline constexpr std::size_t kMaxReplyBytes = std::size_t{4} * 1024 * 1024;

// The header lines every request of the widget opens with, in sending order: Accept,
// Accept-Language, Referer (left out when empty or broken over lines), User-Agent and
// Cache-Control.
std::vector<std::string> BrowserHeaderLines(std::string_view referer = {});

// Sends one HTTP request and returns the reply body decoded with `charset`, or empty text when
// the transfer did not complete with final status 200 (redirects are followed). With `async`
// the request is sent from a background worker and empty text is returned at once.
// The panel itself never asks for `async`: its fetches run on its event loop, which needs
// the reply. The fire-and-forget path stays because the routine's contract offers it to
// every caller (a sender that wants no answer, such as a usage ping), and its tests keep it
// sound at process exit.
std::string HttpRequest(const std::string& url, bool use_server_xml_http, const std::string& method,
                        const std::string& data, const std::string& referer,
                        const std::string& post_type, const std::string& cookie, bool async,
                        const std::string& charset);

// The same with explicit time-outs.
std::string HttpRequest(const std::string& url, bool use_server_xml_http, const std::string& method,
                        const std::string& data, const std::string& referer,
                        const std::string& post_type, const std::string& cookie, bool async,
                        const std::string& charset, const HttpLimits& limits);

// What a request brought: the final status (0 when no whole reply came within the limits) and,
// for status 200 only, the body decoded.
struct HttpReply {
  long status = 0;
  std::string text;
};

// The waiting request of HttpRequest with its status kept, for a caller that has to tell a
// missing page (404) from a failed request.
HttpReply HttpRequestReply(const std::string& url, bool use_server_xml_http,
                           const std::string& method, const std::string& data,
                           const std::string& referer, const std::string& post_type,
                           const std::string& cookie, const std::string& charset,
                           const HttpLimits& limits);

struct PreparedRequest;
struct TransferOutcome;

// The request HttpRequestReply sends, for a caller that runs the transfer itself.
PreparedRequest PrepareRequest(const std::string& url, bool use_server_xml_http,
                               const std::string& method, const std::string& data,
                               const std::string& referer, const std::string& post_type,
                               const std::string& cookie);

// What HttpRequestReply returns for a transfer that ended with `outcome`.
HttpReply ReplyOf(const TransferOutcome& outcome, const std::string& charset);

}  // namespace Code
