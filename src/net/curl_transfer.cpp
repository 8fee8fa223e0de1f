#include "net/curl_transfer.h"

#include <curl/curl.h>

#include <array>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "net/cookie_limits.h"
#include "net/easy_setup.h"

namespace Code {
namespace {

int CheckAbort(void* user, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
  return static_cast<const std::atomic<bool>*>(user)->load() ? 1 : 0;
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
  static EasyHandle& Kept() {
    thread_local EasyHandle handle;
    return handle;
  }
};

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
  EasyHandle JarHandle() const {
    EasyHandle easy(curl_easy_init());
    if (easy) curl_easy_setopt(easy.get(), CURLOPT_SHARE, handle);
    return easy;
  }

  std::vector<std::string> Listing() const {
    std::vector<std::string> lines;
    const EasyHandle easy = JarHandle();
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
      const EasyHandle easy = JarHandle();
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
  EasyHandle own_handle;
  if (cookies == nullptr) {
    borrowed.emplace();
  } else {
    own_handle.reset(curl_easy_init());
  }
  CURL* const handle = borrowed ? borrowed->get() : own_handle.get();
  if (handle == nullptr) return outcome;

  EasySetup setup;
  if (!setup.Configure(handle, request, limits, &outcome.body)) return outcome;
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
  return OutcomeOf(handle, result, std::move(outcome.body));
}

}  // namespace Code
