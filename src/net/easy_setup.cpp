#include "net/easy_setup.h"

#include <unistd.h>

#include <cstdlib>
#include <mutex>

#include "net/socket_owner.h"

namespace Code {
namespace {

size_t AppendBody(char* data, size_t size, size_t count, void* user) {
  auto* body = static_cast<std::string*>(user);
  const size_t length = size * count;
  // Returning less than `length` makes curl stop with a write error.
  if (body->size() + length > kMaxReplyBytes) return 0;
  body->append(data, length);
  return length;
}

// The user's own list of hosts that bypass a proxy, with loopback always among them.
std::string NoProxyList() {
  std::string list = "localhost,127.0.0.0/8,::1";
  for (const char* name : {"no_proxy", "NO_PROXY"}) {
    const char* value = std::getenv(name);  // NOLINT(concurrency-mt-unsafe): read only
    if (value != nullptr && *value != '\0') {
      list += ',';
      list += value;
      break;
    }
  }
  return list;
}

}  // namespace

void InitCurlOnce() {
  static std::once_flag once;
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

int EasySetup::CheckPeer(void* user, char* server_ip, char* own_ip, int server_port, int own_port) {
  auto* rule = static_cast<PeerRule*>(user);
  if (rule->stay_on_first_address) {
    const std::pair<std::string, int> address(server_ip, server_port);
    if (!rule->first_address) rule->first_address = address;
    if (*rule->first_address != address) return CURL_PREREQFUNC_ABORT;
  }
  if (IsLoopbackIp(server_ip)) {
    const std::optional<uid_t> owner =
        ConnectedSocketOwner({server_ip, server_port}, {own_ip, own_port});
    if (!owner || *owner != ::getuid()) return CURL_PREREQFUNC_ABORT;
  }
  return CURL_PREREQFUNC_OK;
}

bool EasySetup::AppendLine(const char* line) {
  curl_slist* head = curl_slist_append(headers_.get(), line);
  if (head == nullptr) return false;
  (void)headers_.release();  // `head` owns the old nodes now
  headers_.reset(head);
  return true;
}

bool EasySetup::Configure(CURL* handle, const PreparedRequest& request, const HttpLimits& limits,
                          std::string* body) {
  for (const std::string& line : request.header_lines) {
    if (!AppendLine(line.c_str())) return false;
  }
  // Keep curl from adding an "Expect: 100-continue" of its own to larger POST bodies.
  if (!AppendLine("Expect:")) return false;

  curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
  peer_rule_.stay_on_first_address = request.redirects_stay_on_address;
  curl_easy_setopt(handle, CURLOPT_PREREQFUNCTION, CheckPeer);
  curl_easy_setopt(handle, CURLOPT_PREREQDATA, &peer_rule_);
  no_proxy_ = NoProxyList();
  curl_easy_setopt(handle, CURLOPT_NOPROXY, no_proxy_.c_str());
  // Only web addresses, also after a redirect: never file:// or other local schemes.
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  // A kept handle would otherwise keep the connection open until its next transfer.
  curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(limits.connect_timeout.count()));
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.total_timeout.count()));
  curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxReplyBytes));
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers_.get());
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, AppendBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, body);
  if (request.is_post) {
    curl_easy_setopt(handle, CURLOPT_POST, 1L);
    // A redirected POST stays a POST with its body: curl would otherwise turn it into a GET
    // that still carries our Content-Length and leave the server waiting for a body.
    curl_easy_setopt(handle, CURLOPT_POSTREDIR, static_cast<long>(CURL_REDIR_POST_ALL));
    curl_easy_setopt(handle, CURLOPT_POSTFIELDSIZE_LARGE,
                     static_cast<curl_off_t>(request.body.size()));
    curl_easy_setopt(handle, CURLOPT_POSTFIELDS, request.body.data());
  }
  // curl writes "GET" and "POST" itself; any other spelling goes out as the caller wrote it.
  if (request.method != "GET" && request.method != "POST") {
    curl_easy_setopt(handle, CURLOPT_CUSTOMREQUEST, request.method.c_str());
  }
  if (request.ignore_certificate_errors) {
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYPEER, 0L);
    curl_easy_setopt(handle, CURLOPT_SSL_VERIFYHOST, 0L);
  }
  return true;
}

TransferOutcome OutcomeOf(CURL* handle, CURLcode result, std::string body) {
  TransferOutcome outcome;
  if (result != CURLE_OK) return outcome;
  outcome.completed = true;
  outcome.body = std::move(body);
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &outcome.status);
  return outcome;
}

}  // namespace Code
