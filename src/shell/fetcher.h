#pragma once

// One kind of fetch (quotes, news, the update check) made off the user-interface thread, with
// its result applied on it, so a slow or silent server never freezes the panel. Fetches of one
// kind never overlap: while one runs, a new one is not started.

#include <functional>
#include <memory>
#include <thread>

#include "net/http_request.h"

class QObject;

namespace shell {

class Fetcher {
 public:
  // The request, given the limits to pass on (they carry the flag that abandons it).
  using Work = std::function<Code::HttpReply(const Code::HttpLimits& limits)>;
  // What to do with the reply (empty text: failure), on the receiver's thread.
  using Apply = std::function<void(const Code::HttpReply& reply)>;

  explicit Fetcher(QObject* receiver);
  // Abandons a running request and waits for its thread; its result is never applied.
  ~Fetcher();
  Fetcher(const Fetcher&) = delete;
  Fetcher& operator=(const Fetcher&) = delete;

  // False, and nothing starts, while a fetch of this kind is still running or unapplied.
  bool Start(Work work, Apply apply);
  bool Busy() const { return busy_; }

 private:
  struct Shared;
  // The worker's loop: one request at a time, each reply handed to the receiver's thread.
  void Serve();
  QObject* receiver_;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  bool busy_ = false;
};

}  // namespace shell
