#pragma once

// The options every transfer of the widget is made with, for the ways of running one
// (waited for on its own thread, or driven by an event loop).

#include <curl/curl.h>

#include <memory>
#include <optional>
#include <string>
#include <utility>

#include "net/curl_transfer.h"
#include "net/http_request.h"

namespace Code {

// curl's one-time set-up; a failure shows up as a failed curl_easy_init afterwards.
void InitCurlOnce();

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
using EasyHandle = std::unique_ptr<CURL, EasyDeleter>;

// What a configured easy handle points into: it has to outlive the transfer.
class EasySetup {
 public:
  // Sets on `handle` every option for sending `request` within `limits`, the reply's body
  // going to `body`. False, with the handle unfit to run, when a header list could not be made.
  bool Configure(CURL* handle, const PreparedRequest& request, const HttpLimits& limits,
                 std::string* body);

 private:
  struct ListDeleter {
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
  };
  // What each request of a transfer must meet before curl sends it on its connection.
  struct PeerRule {
    bool stay_on_first_address = false;
    std::optional<std::pair<std::string, int>> first_address;
  };
  static int CheckPeer(void* user, char* server_ip, char* own_ip, int server_port, int own_port);
  bool AppendLine(const char* line);

  std::unique_ptr<curl_slist, ListDeleter> headers_;
  PeerRule peer_rule_;
  std::string no_proxy_;
};

// What a finished transfer on `handle` brought, given curl's result and the body it wrote.
TransferOutcome OutcomeOf(CURL* handle, CURLcode result, std::string body);

}  // namespace Code
