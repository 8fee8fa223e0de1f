#pragma once

// While the panel starts, its requests to the quote server run at once and share one time
// budget, so a silent server cannot keep the panel away for long. Once start-up is over,
// each kind of request runs in the background on the event loop instead.

#include <algorithm>
#include <chrono>
#include <functional>
#include <utility>

namespace shell {

// How long start-up may wait for the server, all its requests together.
inline constexpr std::chrono::milliseconds kStartupBudget{5000};

class StartupBudget {
 public:
  using Clock = std::function<std::chrono::steady_clock::time_point()>;
  explicit StartupBudget(Clock now = [] { return std::chrono::steady_clock::now(); })
      : now_(std::move(now)) {}

  // Start-up's requests from now on share `budget` between them.
  void Begin(std::chrono::milliseconds budget = kStartupBudget) { deadline_ = now_() + budget; }
  // The panel runs: requests go to the background from now on.
  void EndStartup() { startup_over_ = true; }
  bool StartupOver() const { return startup_over_; }
  // What is left of the budget, never less than zero.
  std::chrono::milliseconds Left() const {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline_ - now_());
    return std::max(left, std::chrono::milliseconds(0));
  }

 private:
  Clock now_;
  std::chrono::steady_clock::time_point deadline_{};
  bool startup_over_ = false;
};

}  // namespace shell
