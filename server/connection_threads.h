#pragma once

// The threads that serve the quote server's connections, one connection per thread at a time
// and at most `most` at once. A connection that sends nothing holds only its own thread, and
// only until its request time runs out, never the turn of the next client (a fixed pool would
// queue that client behind it). At the cap the caller waits, and new connections queue in the
// kernel. A thread that has served a connection waits a while for the next one instead of
// ending: a thousand panels asking every few seconds then cost no thread starts at all.

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace lumetta_server {

class ConnectionThreads {
 public:
  // How long a thread with nothing to serve waits for work before it ends.
  static constexpr std::chrono::seconds kLinger{30};

  ConnectionThreads(int most, std::chrono::milliseconds linger = kLinger);
  ~ConnectionThreads();
  ConnectionThreads(const ConnectionThreads&) = delete;
  ConnectionThreads& operator=(const ConnectionThreads&) = delete;

  // Runs `serve` on a thread of its own, waiting while `most` are being served.
  void Run(std::function<void()> serve);
  // Waits until everything given to Run has been served, then ends every thread.
  void Shutdown();

  // Threads alive now, serving or waiting for work, and those of them waiting.
  int Threads();
  int Waiting();

 private:
  void Work(std::uint64_t id);
  // Threads that have ended only have to return; they need the lock no more.
  void JoinEnded();

  const int most_;
  const std::chrono::milliseconds linger_;
  std::mutex mutex_;
  std::condition_variable work_;     // a task came, or the end
  std::condition_variable changed_;  // a task was served, or a thread ended
  std::deque<std::function<void()>> tasks_;
  // Given to Run and not yet served.
  int unserved_ = 0;
  // Threads waiting for a task now.
  int waiting_ = 0;
  bool ending_ = false;
  std::map<std::uint64_t, std::thread> threads_;
  std::vector<std::uint64_t> ended_;
  std::uint64_t next_id_ = 0;
};

}  // namespace lumetta_server
