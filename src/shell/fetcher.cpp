#include "shell/fetcher.h"

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <optional>
#include <system_error>
#include <utility>

namespace shell {

// What the worker and the owner share. One worker per kind of fetch lives as long as its
// Fetcher, so a tick costs a hand-over, not a new thread.
struct Fetcher::Shared {
  std::mutex mutex;
  std::condition_variable wake;
  std::optional<std::pair<Work, Apply>> job;
  // A reply on its way to the receiver's thread, handed over under the mutex.
  std::optional<std::pair<Apply, Code::HttpReply>> done;
  bool stopping = false;
  std::atomic<bool> abort{false};
};

Fetcher::Fetcher(QObject* receiver) : receiver_(receiver), shared_(std::make_shared<Shared>()) {}

Fetcher::~Fetcher() {
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->stopping = true;
  }
  shared_->abort = true;
  shared_->wake.notify_all();
  if (thread_.joinable()) thread_.join();
}

bool Fetcher::Start(Work work, Apply apply) {
  if (busy_) return false;
  if (!thread_.joinable()) {
    try {
      thread_ = std::thread([this] { Serve(); });
    } catch (const std::system_error&) {
      // No thread to be had: this fetch is lost like a failed one; the next tick tries again.
      return false;
    }
  }
  busy_ = true;
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->job.emplace(std::move(work), std::move(apply));
  }
  shared_->wake.notify_one();
  return true;
}

void Fetcher::Serve() {
  Code::HttpLimits limits;
  limits.abort = &shared_->abort;
  for (;;) {
    std::pair<Work, Apply> job;
    {
      std::unique_lock lock(shared_->mutex);
      shared_->wake.wait(lock, [this] { return shared_->stopping || shared_->job.has_value(); });
      if (shared_->stopping) return;
      job = std::move(*shared_->job);
      shared_->job.reset();
    }
    Code::HttpReply reply = job.first(limits);
    // Under the lock the owner cannot be on its way out: posting to it is safe.
    const std::lock_guard lock(shared_->mutex);
    if (shared_->stopping) return;
    // The reply goes through the mutex rather than inside the posted call, so its hand-over
    // is one that every thread checker sees.
    shared_->done.emplace(std::move(job.second), std::move(reply));
    QMetaObject::invokeMethod(
        receiver_,
        [this] {
          std::optional<std::pair<Apply, Code::HttpReply>> done;
          {
            const std::lock_guard lock(shared_->mutex);
            done.swap(shared_->done);
          }
          if (!done) return;
          busy_ = false;
          done->first(done->second);
        },
        Qt::QueuedConnection);
  }
}

}  // namespace shell
