#include "net/endpoints.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <system_error>

#include "net/cache_buster.h"
#include "net/wire_paths.h"
#include "text/ascii_case.h"

namespace endpoints {
namespace {

std::string ServerUrl(std::string_view host, std::string_view path, std::string_view query = {}) {
  std::string url = "http://";
  url += host;
  url += path;
  url += query;
  return url;
}

// PATH?code=CODE&r=NUMBER, the code percent-encoded where it is not a plain URL character.
std::string ProductUrl(std::string_view host, std::string_view path, std::string_view code) {
  std::string query = "?code=";
  for (const char c : code) {
    const auto byte = static_cast<unsigned char>(c);
    if (std::isalnum(byte) != 0 || c == '-' || c == '.' || c == '_' || c == '~') {
      query += c;
      continue;
    }
    static constexpr std::string_view kHex = "0123456789ABCDEF";
    query += '%';
    query += kHex[byte >> 4];
    query += kHex[byte & 0x0F];
  }
  query += "&r=";
  return ServerUrl(host, path, query) + Code::NewCacheBustingNumber();
}

bool IsControlOrSpace(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte <= 0x20 || byte == 0x7F;
}

}  // namespace

std::string QuoteListUrl(std::string_view host) {
  return ServerUrl(host, wire::kPricePath, "?Type=0&r=") + Code::NewCacheBustingNumber();
}

std::string QuoteDetailUrl(std::string_view host, std::string_view code) {
  return ProductUrl(host, wire::kQuoteDetailPath, code);
}

std::string TrendUrl(std::string_view host, std::string_view code) {
  return ProductUrl(host, wire::kTrendPath, code);
}

std::string NewsListUrl(std::string_view host) {
  return ServerUrl(host, wire::kNewsPath, "?Type=0&r=") + Code::NewCacheBustingNumber();
}

std::string VersionUrl(std::string_view host) {
  return ServerUrl(host, wire::kVersionPath, "?r=") + Code::NewCacheBustingNumber();
}

std::string CounterUrl(std::string_view host) { return ServerUrl(host, wire::kCountPath); }

std::string HomePageUrl(std::string_view host) { return ServerUrl(host, wire::kHomePagePath); }

bool IsWebAddress(std::string_view address) {
  std::string_view rest;
  if (text::StartsWithIgnoreAsciiCase(address, "http://")) {
    rest = address.substr(7);
  } else if (text::StartsWithIgnoreAsciiCase(address, "https://")) {
    rest = address.substr(8);
  } else {
    return false;
  }
  const auto control = std::find_if(address.begin(), address.end(),
                                    [](char c) { return c != ' ' && IsControlOrSpace(c); });
  if (control != address.end()) return false;

  std::string_view host = rest.substr(0, rest.find_first_of("/?#\\"));
  if (const size_t at = host.rfind('@'); at != std::string_view::npos) host.remove_prefix(at + 1);
  if (host.starts_with('[')) {
    const size_t close = host.find(']');
    if (close == std::string_view::npos || close == 1) return false;
    host = host.substr(0, close + 1);
  } else {
    host = host.substr(0, host.find(':'));
  }
  return !host.empty() && std::none_of(host.begin(), host.end(), IsControlOrSpace);
}

bool IsServerHost(std::string_view host_and_port) {
  std::string_view host = host_and_port;
  std::string_view rest;  // what follows the host: nothing or ":PORT"
  if (host.starts_with('[')) {
    const size_t close = host.find(']');
    if (close == std::string_view::npos) return false;
    rest = host.substr(close + 1);
    host = host.substr(1, close - 1);
    const bool ipv6 =
        host.find(':') != std::string_view::npos &&
        std::all_of(host.begin(), host.end(), [](char c) {
          return std::isxdigit(static_cast<unsigned char>(c)) != 0 || c == ':' || c == '.';
        });
    if (!ipv6) return false;
  } else {
    const size_t colon = host.find(':');
    if (colon != std::string_view::npos) {
      rest = host.substr(colon);
      host = host.substr(0, colon);
    }
    const bool name =
        !host.empty() && host.front() != '-' && host.front() != '.' &&
        std::all_of(host.begin(), host.end(), [](char c) {
          return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '-' || c == '.';
        });
    if (!name) return false;
  }
  if (rest.empty()) return true;
  if (!rest.starts_with(':')) return false;
  const std::string_view port = rest.substr(1);
  unsigned number = 0;
  const auto [end, error] = std::from_chars(port.data(), port.data() + port.size(), number);
  return !port.empty() && std::isdigit(static_cast<unsigned char>(port.front())) != 0 &&
         error == std::errc() && end == port.data() + port.size() && number >= 1 && number <= 65535;
}

}  // namespace endpoints
