#include "server/live/upstream_fetch.h"

#include <curl/curl.h>

#include <memory>

#include "text/ascii_case.h"

namespace live {
namespace {

struct Received {
  std::string body;
  std::size_t limit = 0;
  bool too_long = false;
};

size_t Append(char* data, size_t size, size_t count, void* user) {
  auto* received = static_cast<Received*>(user);
  const size_t bytes = size * count;
  if (received->body.size() + bytes > received->limit) {
    received->too_long = true;
    return 0;  // libcurl then aborts the transfer
  }
  received->body.append(data, bytes);
  return bytes;
}

int Progress(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::atomic<bool>*>(user)->load() ? 1 : 0;
}

struct UrlDeleter {
  void operator()(CURLU* url) const { curl_url_cleanup(url); }
};
struct EasyDeleter {
  void operator()(CURL* easy) const { curl_easy_cleanup(easy); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
struct TextDeleter {
  void operator()(char* text) const { curl_free(text); }
};

std::string UrlPart(CURLU* url, CURLUPart part) {
  char* raw = nullptr;
  if (curl_url_get(url, part, &raw, 0) != CURLUE_OK || raw == nullptr) return {};
  const std::unique_ptr<char, TextDeleter> owned(raw);
  return text::AsciiLower(raw);
}

}  // namespace

void InitUpstreamFetch() { curl_global_init(CURL_GLOBAL_DEFAULT); }

bool AllowedUrl(const std::string& url) {
  const std::unique_ptr<CURLU, UrlDeleter> parsed(curl_url());
  if (!parsed || curl_url_set(parsed.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) {
    return false;
  }
  const std::string scheme = UrlPart(parsed.get(), CURLUPART_SCHEME);
  if (scheme == "https") return true;
  const std::string host = UrlPart(parsed.get(), CURLUPART_HOST);
  return scheme == "http" && (host == "127.0.0.1" || host == "localhost" || host == "[::1]");
}

std::optional<std::string> UpstreamFetch(const SourceEntry& source, const std::string& url,
                                         const std::atomic<bool>& cancel) {
  if (!AllowedUrl(url) || cancel) return std::nullopt;
  const std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
  if (!easy) return std::nullopt;
  std::unique_ptr<curl_slist, ListDeleter> headers;
  for (const std::string& header : source.headers) {
    curl_slist* longer = curl_slist_append(headers.get(), header.c_str());
    if (longer == nullptr) return std::nullopt;
    // The list grew in place: `longer` is its head, the same list.
    static_cast<void>(headers.release());
    headers.reset(longer);
  }
  Received received;
  received.limit = source.max_bytes;
  CURL* handle = easy.get();
  curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 0L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 1L);
  curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 2L);
  curl_easy_setopt(handle, CURLOPT_TIMEOUT, static_cast<long>(source.timeout.count()));
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  curl_easy_setopt(handle, CURLOPT_USERAGENT, kUserAgent);
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(source.max_bytes));
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, Append);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &received);
  curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
  curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, Progress);
  curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &cancel);
  if (curl_easy_perform(handle) != CURLE_OK || received.too_long) return std::nullopt;
  long status = 0;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
  if (status != 200) return std::nullopt;
  return std::move(received.body);
}

}  // namespace live
