#include "net/detached_transfer.h"

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <system_error>
#include <thread>
#include <utility>

namespace Code {
namespace {

// Workers stop at the next progress poll once `closing` is set; curl polls at least about once a
// second, so this bound is only reached when something is badly stuck.
constexpr std::chrono::seconds kExitDrainLimit{3};

struct DetachedWorkers {
  std::mutex mutex;
  std::condition_variable idle;
  int running = 0;
  std::atomic<bool> closing{false};
};

void DrainAtExit();

// Never destroyed: a worker may still touch it while static objects are destroyed at exit.
DetachedWorkers& Workers() {
  static DetachedWorkers* const workers = [] {
    auto* created = new DetachedWorkers;
    std::atexit(DrainAtExit);
    return created;
  }();
  return *workers;
}

void DrainAtExit() {
  DetachedWorkers& workers = Workers();
  workers.closing = true;
  std::unique_lock lock(workers.mutex);
  workers.idle.wait_for(lock, kExitDrainLimit, [&] { return workers.running == 0; });
}

}  // namespace

void StartDetachedTransfer(PreparedRequest request, HttpLimits limits) {
  DetachedWorkers& workers = Workers();
  {
    std::lock_guard lock(workers.mutex);
    ++workers.running;
  }
  try {
    std::thread([&workers, request = std::move(request), limits] {
      PerformTransfer(request, limits, &workers.closing);
      std::lock_guard lock(workers.mutex);
      --workers.running;
      workers.idle.notify_all();
    }).detach();
  } catch (const std::system_error&) {
    // No thread could be started: the request is lost, which a caller of the no-wait form
    // cannot tell from a lost reply anyway.
    std::lock_guard lock(workers.mutex);
    --workers.running;
  }
}

}  // namespace Code
