#include "net/cookie_limits.h"

#include <array>
#include <map>
#include <optional>
#include <string_view>

#include "text/ascii_case.h"

namespace Code {
namespace {

constexpr std::size_t kFieldCount = 7;
constexpr std::string_view kHttpOnlyPrefix = "#HttpOnly_";

struct Cookie {
  std::string host;  // lower case, without the leading dot of a domain cookie
  std::string key;   // domain as listed, path and name
  std::size_t name_value_bytes = 0;
};

std::optional<Cookie> ReadLine(std::string_view line) {
  std::array<std::string_view, kFieldCount> fields;
  std::size_t count = 0;
  for (std::size_t start = 0;;) {
    if (count == kFieldCount) return std::nullopt;
    const std::size_t tab = line.find('\t', start);
    fields[count++] = line.substr(start, tab == std::string_view::npos ? tab : tab - start);
    if (tab == std::string_view::npos) break;
    start = tab + 1;
  }
  if (count != kFieldCount) return std::nullopt;
  std::string_view domain = fields[0];
  if (domain.starts_with(kHttpOnlyPrefix)) domain.remove_prefix(kHttpOnlyPrefix.size());
  Cookie cookie;
  cookie.host = text::AsciiLower(domain.starts_with('.') ? domain.substr(1) : domain);
  cookie.key = std::string(domain) + '\t' + std::string(fields[2]) + '\t' + std::string(fields[5]);
  cookie.name_value_bytes = fields[5].size() + fields[6].size();
  return cookie;
}

}  // namespace

std::vector<std::string> CookiesToKeep(const std::vector<std::string>& listing,
                                       const std::vector<std::string>& earlier) {
  std::vector<std::optional<Cookie>> cookies;
  std::map<std::string, std::size_t> by_key;
  for (const std::string& line : listing) {
    cookies.push_back(ReadLine(line));
    if (cookies.back()) by_key.emplace(cookies.back()->key, cookies.size() - 1);
  }

  // Oldest first: the earlier cookies in their order, then the new ones as listed.
  std::vector<std::size_t> order;
  std::vector<bool> placed(listing.size(), false);
  for (const std::string& line : earlier) {
    const std::optional<Cookie> cookie = ReadLine(line);
    if (!cookie) continue;
    const auto found = by_key.find(cookie->key);
    if (found == by_key.end() || placed[found->second]) continue;
    order.push_back(found->second);
    placed[found->second] = true;
  }
  for (std::size_t i = 0; i < listing.size(); ++i) {
    if (cookies[i] && !placed[i]) order.push_back(i);
  }

  std::vector<std::string> kept;
  std::map<std::string, std::size_t> per_host;
  std::size_t bytes = 0;
  for (const std::size_t i : order) {
    const Cookie& cookie = *cookies[i];
    if (kept.size() == kMaxJarCookies) break;
    if (cookie.name_value_bytes > kMaxCookieBytes) continue;
    if (bytes + listing[i].size() > kMaxJarBytes) continue;
    std::size_t& host_count = per_host[cookie.host];
    if (host_count == kMaxCookiesPerHost) continue;
    ++host_count;
    bytes += listing[i].size();
    kept.push_back(listing[i]);
  }
  return kept;
}

}  // namespace Code
