#include "net/endpoints.h"

#include <algorithm>

#include "net/cache_buster.h"
#include "text/ascii_case.h"

namespace endpoints {
namespace {

std::string ServerUrl(std::string_view host, std::string_view path_and_query) {
  std::string url = "http://";
  url += host;
  url += path_and_query;
  return url;
}

bool IsControlOrSpace(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte <= 0x20 || byte == 0x7F;
}

}  // namespace

std::string QuoteListUrl(std::string_view host) {
  return ServerUrl(host, "/Soft/Price.asp?Type=0&r=") + Code::NewCacheBustingNumber();
}

std::string NewsListUrl(std::string_view host) {
  return ServerUrl(host, "/Soft/News.asp?Type=0&r=") + Code::NewCacheBustingNumber();
}

std::string VersionUrl(std::string_view host) {
  return ServerUrl(host, "/Soft/Version.asp?r=") + Code::NewCacheBustingNumber();
}

std::string CounterUrl(std::string_view host) { return ServerUrl(host, "/Soft/Count.asp"); }

std::string HomePageUrl(std::string_view host) { return ServerUrl(host, "/"); }

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

}  // namespace endpoints
