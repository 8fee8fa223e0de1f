#pragma once

// One kind of fetch (quotes, news, the update check) made on the user-interface thread's own
// event loop: the thread watches the connection instead of waiting on it, so a slow or silent
// server never freezes the panel and a tick needs no second thread. Fetches of one kind never
// overlap: while one runs, a new one is not started.

#include <array>
#include <cstddef>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "net/curl_transfer.h"
#include "net/event_transfer.h"
#include "net/http_request.h"

class QSocketNotifier;
class QTimer;

namespace shell {

class Fetcher {
 public:
  // What to do with the reply (status 0 and empty text: failure).
  using Apply = std::function<void(const Code::HttpReply& reply)>;

  Fetcher();
  // Abandons a running request; its result is never applied.
  ~Fetcher();
  Fetcher(const Fetcher&) = delete;
  Fetcher& operator=(const Fetcher&) = delete;

  // Sends `request` within the default limits; `apply` gets the reply decoded with `charset`.
  // False, and nothing starts, while a fetch of this kind is still running.
  bool Start(const Code::PreparedRequest& request, const std::string& charset, Apply apply);
  bool Busy() const { return transfer_.Busy(); }
  // The socket notifiers it holds, watching or spare: the same number fetch after fetch.
  size_t NotifierCount() const;

 private:
  void WatchSocket(int fd, Code::EventTransfer::Watch watch);
  void SetTimer(long delay_ms);
  // Ends the watch of one socket: its notifiers are disabled and kept as spares, not deleted,
  // since one of them may be the very one reporting now.
  void Unwatch(int fd);
  // A notifier on `fd`, a spare one when there is.
  QSocketNotifier* Notifier(bool readable, int fd);

  // The timer also parents the notifiers, so that none outlives this object.
  std::unique_ptr<QTimer> timer_;
  // Per watched socket: its read and its write notifier, each made when first needed.
  std::map<int, std::array<QSocketNotifier*, 2>> notifiers_;
  // Notifiers of ended sockets, read and write, kept for the next socket: deleting them would
  // post an event and wake the loop on every fetch.
  std::array<std::vector<QSocketNotifier*>, 2> spare_;
  // Last, so that it goes first: a running transfer is abandoned before its loop.
  Code::EventTransfer transfer_;
};

}  // namespace shell
