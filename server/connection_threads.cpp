#include "server/connection_threads.h"

#include <utility>

namespace lumetta_server {

ConnectionThreads::ConnectionThreads(int most, std::chrono::milliseconds linger)
    : most_(most), linger_(linger) {}

ConnectionThreads::~ConnectionThreads() { Shutdown(); }

void ConnectionThreads::Run(std::function<void()> serve) {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return unserved_ < most_; });
  JoinEnded();
  ++unserved_;
  tasks_.push_back(std::move(serve));
  // A waiting thread takes each queued task; without one for this task, a new thread does.
  if (waiting_ >= static_cast<int>(tasks_.size())) {
    // Woken after the lock is let go, it does not wait for the lock at once.
    lock.unlock();
    work_.notify_one();
    return;
  }
  const std::uint64_t id = next_id_++;
  // The new thread cannot report its end before it is listed: that needs the lock held here.
  threads_.emplace(id, std::thread([this, id] { Work(id); }));
}

void ConnectionThreads::Work(std::uint64_t id) {
  std::unique_lock lock(mutex_);
  while (true) {
    if (tasks_.empty()) {
      if (ending_) break;
      ++waiting_;
      const bool woken =
          work_.wait_for(lock, linger_, [this] { return !tasks_.empty() || ending_; });
      --waiting_;
      if (!woken) break;
      continue;
    }
    std::function<void()> serve = std::move(tasks_.front());
    tasks_.pop_front();
    lock.unlock();
    serve();
    // Whatever it held goes before the next connection's turn.
    serve = nullptr;
    lock.lock();
    --unserved_;
    changed_.notify_all();
  }
  ended_.push_back(id);
  changed_.notify_all();
}

void ConnectionThreads::Shutdown() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return unserved_ == 0; });
  ending_ = true;
  work_.notify_all();
  changed_.wait(lock, [this] { return ended_.size() == threads_.size(); });
  JoinEnded();
  ending_ = false;
}

int ConnectionThreads::Threads() {
  std::lock_guard lock(mutex_);
  return static_cast<int>(threads_.size() - ended_.size());
}

int ConnectionThreads::Waiting() {
  std::lock_guard lock(mutex_);
  return waiting_;
}

void ConnectionThreads::JoinEnded() {
  for (const std::uint64_t id : ended_) {
    threads_[id].join();
    threads_.erase(id);
  }
  ended_.clear();
}

}  // namespace lumetta_server
