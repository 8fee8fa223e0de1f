#pragma once

// One transfer at a time driven by the caller's event loop instead of waited for: the loop
// watches the sockets and the timer this object asks for and reports back what happened, so
// the thread that owns it never blocks on the network and needs no second thread. The options
// and checks are those of PerformTransfer; cookies are never kept.

#include <functional>
#include <memory>

#include "net/curl_transfer.h"
#include "net/http_request.h"

namespace Code {

class EventTransfer {
 public:
  // What to wait for on a socket; kNone ends the watch.
  enum class Watch { kNone, kRead, kWrite, kReadWrite };
  struct Loop {
    // Watches `fd` from now on as `watch` says, replacing any earlier watch of it.
    std::function<void(int fd, Watch watch)> watch;
    // Calls Timeout() once after `delay_ms` (0: as soon as the loop is back), replacing an
    // earlier request; a negative delay cancels it.
    std::function<void(long delay_ms)> timer;
  };
  // Hears the outcome once the transfer has ended, when this object is idle again.
  using Done = std::function<void(const TransferOutcome& outcome)>;

  explicit EventTransfer(Loop loop);
  // Abandons a running transfer without a word to `done` or to the loop.
  ~EventTransfer();
  EventTransfer(const EventTransfer&) = delete;
  EventTransfer& operator=(const EventTransfer&) = delete;

  // False, and nothing starts, while a transfer is running or curl cannot start one.
  bool Start(const PreparedRequest& request, const HttpLimits& limits, Done done);
  bool Busy() const;

  // The loop's reports: `fd` is ready for what it was watched for, or the timer ran out.
  void Ready(int fd, bool readable, bool writable);
  void Timeout();

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace Code
