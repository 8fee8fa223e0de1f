#include "shell/fetcher.h"

#include <QMetaObject>
#include <QObject>
#include <atomic>
#include <mutex>
#include <system_error>
#include <utility>

namespace shell {

// What the worker and the owner share: whether the owner still wants the result.
struct Fetcher::Shared {
  std::mutex mutex;
  bool wanted = true;
  std::atomic<bool> abort{false};
};

Fetcher::Fetcher(QObject* receiver) : receiver_(receiver), shared_(std::make_shared<Shared>()) {}

Fetcher::~Fetcher() {
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->wanted = false;
  }
  shared_->abort = true;
  if (thread_.joinable()) thread_.join();
}

bool Fetcher::Start(Work work, Apply apply) {
  if (busy_) return false;
  // The previous worker has handed its result over and is at most returning.
  if (thread_.joinable()) thread_.join();
  busy_ = true;
  try {
    thread_ = std::thread([this, shared = shared_, work = std::move(work),
                           apply = std::move(apply)]() mutable {
    Code::HttpLimits limits;
    limits.abort = &shared->abort;
    std::string reply = work(limits);
    // Under the lock the owner cannot be on its way out: posting to it is safe.
    const std::lock_guard lock(shared->mutex);
    if (!shared->wanted) return;
    QMetaObject::invokeMethod(
        receiver_,
        [this, apply = std::move(apply), reply = std::move(reply)] {
          busy_ = false;
          apply(reply);
        },
        Qt::QueuedConnection);
    });
  } catch (const std::system_error&) {
    // No thread to be had: this fetch is lost like a failed one; the next tick tries again.
    busy_ = false;
    return false;
  }
  return true;
}

}  // namespace shell
