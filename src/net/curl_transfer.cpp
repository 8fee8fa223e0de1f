#include "net/curl_transfer.h"

#include <curl/curl.h>

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/cookie_limits.h"
#include "net/socket_owner.h"

namespace Code {
namespace {

void InitCurlOnce() {
  static std::once_flag once;
  // A failed initialisation shows up as a failed curl_easy_init below, i.e. as empty text.
  std::call_once(once, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

struct EasyDeleter {
  void operator()(CURL* handle) const { curl_easy_cleanup(handle); }
};
struct ListDeleter {
  void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

bool AppendLine(HeaderList& list, const char* line) {
  curl_slist* head = curl_slist_append(list.get(), line);
  if (head == nullptr) return false;
  (void)list.release();  // `head` owns the old nodes now
  list.reset(head);
  return true;
}

size_t AppendBody(char* data, size_t size, size_t count, void* user) {
  auto* body = static_cast<std::string*>(user);
  const size_t length = size * count;
  // Returning less than `length` makes curl stop with a write error.
  if (body->size() + length > kMaxReplyBytes) return 0;
  body->append(data, length);
  return length;
}

int CheckAbort(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::atomic<bool>*>(user)->load() ? 1 : 0;
}

// What each request of a transfer must meet before curl sends it on its connection.
struct PeerRule {
  bool stay_on_first_address = false;
  std::optional<std::pair<std::string, int>> first_address;
};

int CheckPeer(void* user, char* server_ip, char* own_ip, int server_port, int own_port) {
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

// Lends out the easy handle this thread keeps for transfers without a cookie jar, and takes it
// back with every option at its default, so that nothing points into a finished transfer.
// Making and freeing a handle per transfer (its buffers and the wake-up socket pair of its own
// multi handle) cost a panel's tick more than the request itself. Cookies and a share would
// survive the reset, which is why transfers with a jar never borrow it.
class BorrowedHandle {
 public:
  BorrowedHandle() {
    if (!Kept()) Kept().reset(curl_easy_init());
  }
  ~BorrowedHandle() {
    if (Kept()) curl_easy_reset(Kept().get());
  }
  BorrowedHandle(const BorrowedHandle&) = delete;
  BorrowedHandle& operator=(const BorrowedHandle&) = delete;

  // Null when curl could not make one; the next transfer tries again.
  CURL* get() const { return Kept().get(); }

 private:
  static std::unique_ptr<CURL, EasyDeleter>& Kept() {
    thread_local std::unique_ptr<CURL, EasyDeleter> handle;
    return handle;
  }
};

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

// A curl share holding only cookies. curl asks for a lock per kind of shared data and may hold
// two kinds at once, hence one mutex per kind.
struct CookieJar::Share {
  CURLSH* handle = nullptr;
  std::array<std::mutex, CURL_LOCK_DATA_LAST> locks;

  static void Lock(CURL*, curl_lock_data data, curl_lock_access, void* user) {
    static_cast<Share*>(user)->locks[data].lock();
  }
  static void Unlock(CURL*, curl_lock_data data, void* user) {
    static_cast<Share*>(user)->locks[data].unlock();
  }

  // A handle of its own for reading or changing the jar: curl refuses more cookies through a
  // handle that has already received its maximum in one reply, as a flood's handle has.
  std::unique_ptr<CURL, EasyDeleter> JarHandle() const {
    std::unique_ptr<CURL, EasyDeleter> easy(curl_easy_init());
    if (easy) curl_easy_setopt(easy.get(), CURLOPT_SHARE, handle);
    return easy;
  }

  std::vector<std::string> Listing() const {
    std::vector<std::string> lines;
    const std::unique_ptr<CURL, EasyDeleter> easy = JarHandle();
    curl_slist* list = nullptr;
    if (!easy || curl_easy_getinfo(easy.get(), CURLINFO_COOKIELIST, &list) != CURLE_OK) {
      return lines;
    }
    for (const curl_slist* item = list; item != nullptr; item = item->next) {
      lines.emplace_back(item->data);
    }
    curl_slist_free_all(list);
    return lines;
  }

  // curl's cookie engine keeps whatever a server sends; what does not fit the bounds goes here
  // by emptying the jar and putting back the cookies that do, oldest first as they came.
  void KeepWithinLimits() {
    const std::lock_guard lock(trim);
    const std::vector<std::string> listing = Listing();
    std::vector<std::string> keep = CookiesToKeep(listing, kept);
    if (keep.size() != listing.size()) {
      const std::unique_ptr<CURL, EasyDeleter> easy = JarHandle();
      if (!easy) return;
      curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, "ALL");
      for (const std::string& line : keep) {
        curl_easy_setopt(easy.get(), CURLOPT_COOKIELIST, line.c_str());
      }
    }
    kept = std::move(keep);
  }

  std::mutex trim;
  std::vector<std::string> kept;  // oldest first, as CookiesToKeep left them
};

CookieJar::CookieJar() : share_(std::make_unique<Share>()) {
  InitCurlOnce();
  // Without a share, transfers using this jar simply go without cookies.
  CURLSH* handle = curl_share_init();
  if (handle == nullptr) return;
  curl_share_setopt(handle, CURLSHOPT_LOCKFUNC, Share::Lock);
  curl_share_setopt(handle, CURLSHOPT_UNLOCKFUNC, Share::Unlock);
  curl_share_setopt(handle, CURLSHOPT_USERDATA, share_.get());
  if (curl_share_setopt(handle, CURLSHOPT_SHARE, CURL_LOCK_DATA_COOKIE) != CURLSHE_OK) {
    curl_share_cleanup(handle);
    return;
  }
  share_->handle = handle;
}

CookieJar::~CookieJar() {
  if (share_->handle != nullptr) curl_share_cleanup(share_->handle);
}

std::vector<std::string> CookieJar::Cookies() const {
  if (share_->handle == nullptr) return {};
  return share_->Listing();
}

TransferOutcome PerformTransfer(const PreparedRequest& request, const HttpLimits& limits,
                                const std::atomic<bool>* abort, CookieJar* cookies) {
  InitCurlOnce();
  TransferOutcome outcome;
  std::optional<BorrowedHandle> borrowed;
  std::unique_ptr<CURL, EasyDeleter> own_handle;
  if (cookies == nullptr) {
    borrowed.emplace();
  } else {
    own_handle.reset(curl_easy_init());
  }
  CURL* const handle = borrowed ? borrowed->get() : own_handle.get();
  if (handle == nullptr) return outcome;

  HeaderList headers;
  for (const std::string& line : request.header_lines) {
    if (!AppendLine(headers, line.c_str())) return outcome;
  }
  // Keep curl from adding an "Expect: 100-continue" of its own to larger POST bodies.
  if (!AppendLine(headers, "Expect:")) return outcome;

  curl_easy_setopt(handle, CURLOPT_URL, request.url.c_str());
  PeerRule peer_rule;
  peer_rule.stay_on_first_address = request.redirects_stay_on_address;
  curl_easy_setopt(handle, CURLOPT_PREREQFUNCTION, CheckPeer);
  curl_easy_setopt(handle, CURLOPT_PREREQDATA, &peer_rule);
  const std::string no_proxy = NoProxyList();
  curl_easy_setopt(handle, CURLOPT_NOPROXY, no_proxy.c_str());
  // Only web addresses, also after a redirect: never file:// or other local schemes.
  curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
  curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
  curl_easy_setopt(handle, CURLOPT_MAXREDIRS, 10L);
  curl_easy_setopt(handle, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
  curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
  // A kept handle would otherwise keep the connection open until its thread's next transfer.
  curl_easy_setopt(handle, CURLOPT_FORBID_REUSE, 1L);
  curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS,
                   static_cast<long>(limits.connect_timeout.count()));
  curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.total_timeout.count()));
  curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(kMaxReplyBytes));
  curl_easy_setopt(handle, CURLOPT_HTTPHEADER, headers.get());
  curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, AppendBody);
  curl_easy_setopt(handle, CURLOPT_WRITEDATA, &outcome.body);
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
  // The share keeps what the handle learns; an empty cookie file name switches the handle's
  // cookie engine on without reading any file.
  if (cookies != nullptr && cookies->share_->handle != nullptr) {
    curl_easy_setopt(handle, CURLOPT_SHARE, cookies->share_->handle);
    curl_easy_setopt(handle, CURLOPT_COOKIEFILE, "");
  }
  if (abort != nullptr) {
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, CheckAbort);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, abort);
  }

  const CURLcode result = curl_easy_perform(handle);
  // A failed transfer may have set cookies too.
  if (cookies != nullptr && cookies->share_->handle != nullptr) {
    cookies->share_->KeepWithinLimits();
  }
  if (result != CURLE_OK) {
    outcome.body.clear();
    return outcome;
  }
  outcome.completed = true;
  curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &outcome.status);
  return outcome;
}

}  // namespace Code
