#pragma once

// The live book's real fetch: one GET of a public source over libcurl.

#include <atomic>
#include <optional>
#include <string>

#include "server/live/live_config.h"

namespace live {

// The User-Agent of every upstream request.
inline constexpr const char* kUserAgent = "lumetta-server/1.0 (live quotes)";

// Sets libcurl up for the whole process; call once, before any thread that fetches starts.
void InitUpstreamFetch();

// True for an address the fetch may ask: https anywhere, plain http only to a loopback host
// (127.0.0.1, localhost or [::1]: the tests' replicas).
bool AllowedUrl(const std::string& url);

// GETs `url` with the source's headers in order and a User-Agent, verifying TLS, following no
// redirect, within the source's timeout. The body of a 200 reply of at most `max_bytes`; nothing
// for anything else (an address not allowed, no reply, another status, a longer body), or once
// `cancel` is set.
std::optional<std::string> UpstreamFetch(const SourceEntry& source, const std::string& url,
                                         const std::atomic<bool>& cancel);

}  // namespace live
