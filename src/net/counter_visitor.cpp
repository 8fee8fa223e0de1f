#include "net/counter_visitor.h"

#include <atomic>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "net/curl_transfer.h"

namespace Code {

struct CounterVisitor::Worker {
  explicit Worker(HttpLimits transfer_limits)
      : limits(transfer_limits), header_lines(BrowserHeaderLines()) {}

  void Run() {
    std::unique_lock lock(mutex);
    for (;;) {
      wake.wait(lock, [this] { return stopping.load() || !pending.empty(); });
      if (stopping) return;
      PreparedRequest request;
      request.url = std::move(pending.front());
      // The counter is the server's own: a redirect elsewhere is not followed.
      request.redirects_stay_on_address = true;
      pending.pop_front();
      request.method = "GET";
      request.header_lines = header_lines;
      // Visit must never wait for a transfer, so the lock is not held across one.
      lock.unlock();
      PerformTransfer(request, limits, &stopping, &cookies);
      lock.lock();
    }
  }

  const HttpLimits limits;
  const std::vector<std::string> header_lines;
  CookieJar cookies;  // the run's session: outlives every transfer, which all end in Run
  std::mutex mutex;
  std::condition_variable wake;
  std::deque<std::string> pending;
  // Also the transfers' abort flag, so stopping does not wait out a silent server.
  std::atomic<bool> stopping{false};
  std::thread thread;
};

CounterVisitor::CounterVisitor(HttpLimits limits) : worker_(std::make_unique<Worker>(limits)) {
  try {
    worker_->thread = std::thread([worker = worker_.get()] { worker->Run(); });
  } catch (const std::system_error&) {
    // No thread, no visits: the page is never loaded, which nobody is told about anyway.
  }
}

CounterVisitor::~CounterVisitor() {
  {
    std::lock_guard lock(worker_->mutex);
    worker_->stopping = true;
  }
  worker_->wake.notify_one();
  if (worker_->thread.joinable()) worker_->thread.join();
}

void CounterVisitor::Visit(std::string url) {
  if (url.empty()) return;
  {
    std::lock_guard lock(worker_->mutex);
    if (worker_->pending.size() >= kMaxPendingVisits) return;
    worker_->pending.push_back(std::move(url));
  }
  worker_->wake.notify_one();
}

std::vector<std::string> CounterVisitor::Cookies() const { return worker_->cookies.Cookies(); }

}  // namespace Code
