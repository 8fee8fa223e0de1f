#pragma once

// Loads a page in the background the way a hidden browser would, again and again for the
// whole run: the caller never waits, the answer is never read, a failure is never reported,
// and the server's cookies are kept for the run and sent back on the next load, within the
// bounds of net/cookie_limits.h.

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "net/http_request.h"

namespace Code {

class CounterVisitor {
 public:
  // Visits beyond this many waiting behind the one in flight are dropped, so a stalled server
  // cannot make them pile up.
  static constexpr std::size_t kMaxPendingVisits = 2;

  // Each load is bounded by `limits`.
  explicit CounterVisitor(HttpLimits limits = {});
  // Stops the worker: a load in flight is abandoned, queued ones are dropped.
  ~CounterVisitor();
  CounterVisitor(const CounterVisitor&) = delete;
  CounterVisitor& operator=(const CounterVisitor&) = delete;

  // Queues one GET of `url` and returns at once.
  void Visit(std::string url);

  // The cookies kept for the run, one cookie-file line each.
  std::vector<std::string> Cookies() const;

 private:
  struct Worker;
  std::unique_ptr<Worker> worker_;
};

}  // namespace Code
