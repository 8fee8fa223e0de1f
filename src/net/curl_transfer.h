#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "net/http_request.h"

namespace Code {

// One request, fully normalised, ready for the wire.
struct PreparedRequest {
  std::string url;
  std::string method;    // request-line text, exactly as it is sent
  bool is_post = false;  // sends `body`
  std::string body;
  std::vector<std::string> header_lines;  // "Name: value", in sending order
  bool ignore_certificate_errors = false;
  // Redirects are followed only to the address of the first connection (the counter's rule).
  bool redirects_stay_on_address = false;
};

struct TransferOutcome {
  bool completed = false;  // the whole reply arrived within the limits
  long status = 0;         // final status after redirects
  std::string body;
};

class CookieJar;

// Runs one transfer on a connection of its own: with a cookie jar on an easy handle of its own,
// without one on the handle its thread keeps, all options set afresh. Before anything is sent
// on a connection to a loopback address, the server's end of it must belong to this process's
// user: another account's server is never spoken to. Loopback is never reached through a proxy.
// `abort`, when given, is polled while the transfer waits and ends it early once set. `cookies`,
// when given, supplies the cookies sent and keeps those the server sets; without it no cookie is
// stored.
TransferOutcome PerformTransfer(const PreparedRequest& request, const HttpLimits& limits,
                                const std::atomic<bool>* abort = nullptr,
                                CookieJar* cookies = nullptr);

// Cookies kept in memory across transfers, as a browser keeps them for a session, within the
// bounds of net/cookie_limits.h: each transfer ends by dropping what does not fit. Transfers on
// several threads may share one jar (a cookie set by one while another trims the jar may be
// lost); it has to outlive every transfer that uses it.
class CookieJar {
 public:
  CookieJar();
  ~CookieJar();
  CookieJar(const CookieJar&) = delete;
  CookieJar& operator=(const CookieJar&) = delete;

  // The cookies held now, one cookie-file line each.
  std::vector<std::string> Cookies() const;

 private:
  friend TransferOutcome PerformTransfer(const PreparedRequest&, const HttpLimits&,
                                         const std::atomic<bool>*, CookieJar*);
  struct Share;
  std::unique_ptr<Share> share_;
};

}  // namespace Code
