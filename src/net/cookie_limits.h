#pragma once

// The bounds of a cookie jar, as browsers bound theirs, so that a server sending fresh cookies
// on every load cannot make the jar grow. Past a bound new cookies are refused rather than old
// ones dropped: a flood cannot push out the cookie a server set earlier to know its visitor.

#include <cstddef>
#include <string>
#include <vector>

namespace Code {

inline constexpr std::size_t kMaxCookieBytes = 4096;  // one cookie's name and value together
inline constexpr std::size_t kMaxCookiesPerHost = 50;
inline constexpr std::size_t kMaxJarCookies = 150;
inline constexpr std::size_t kMaxJarBytes = std::size_t{64} * 1024;  // the jar's lines together

// `listing` holds the jar's cookies as the cookie engine lists them, one cookie-file line each
// (domain, subdomains flag, path, secure flag, expiry, name, value, separated by tabs);
// `earlier` holds what this rule kept the last time. Returns the lines to keep, oldest first:
// the cookies kept before (with their value of now), then the others in listing order, each
// as long as it fits every bound. Domain, path and name identify a cookie. A line that is not
// seven fields is dropped.
std::vector<std::string> CookiesToKeep(const std::vector<std::string>& listing,
                                       const std::vector<std::string>& earlier);

}  // namespace Code
