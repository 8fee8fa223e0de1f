#pragma once

#include <string>
#include <string_view>

// Every address the widget uses: the maker's server (its host, fixed at build time, is passed
// in) and the banks.
namespace endpoints {

// Quote, news and version addresses end in a fresh cache-busting number per call.
std::string QuoteListUrl(std::string_view host);
// The detail of one product; bytes of `code` other than letters, digits and "-._~" are
// percent-encoded, so no code can add to the query.
std::string QuoteDetailUrl(std::string_view host, std::string_view code);
std::string NewsListUrl(std::string_view host);
std::string VersionUrl(std::string_view host);
std::string CounterUrl(std::string_view host);
std::string HomePageUrl(std::string_view host);
// The day's points of one product (its lower-case catalogue code), with a cache-busting number.
std::string TrendUrl(std::string_view host, std::string_view code);

inline constexpr std::string_view kIcbcBankUrl =
    "https://mybank.icbc.com.cn/icbc/perbank/index.jsp";
inline constexpr std::string_view kCcbBankUrl =
    "https://ibsbjstar.ccb.com.cn/app/V5/CN/STY1/login.jsp";
inline constexpr std::string_view kBocBankUrl =
    "https://ebsnew.boc.cn/BocnetClient/LoginFrame.do?_locale=zh_CN";

// True only for an http:// or https:// address (scheme in any case) with a non-empty host and
// no control characters. Addresses that come from the server are opened only when this holds.
bool IsWebAddress(std::string_view address);

// True for a quote server given as HOST[:PORT]: a host name or IPv4 address (letters, digits,
// '-', '.'), or an IPv6 address in brackets, then optionally a port 1..65535. Anything else
// (a scheme, a path, user information, blanks) would change what the addresses built on it
// name.
bool IsServerHost(std::string_view host_and_port);

}  // namespace endpoints
