#pragma once

#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "server/quote_server.h"

namespace lumetta_server {

// The ways the fault mode answers the price, news and version endpoints, in cycle order.
enum class Fault {
  kClose,         // the connection closed at once, nothing sent
  kSilence,       // nothing sent for longer than any client waits, then closed
  kNotFound,      // 404 with the site's missing-page body
  kServerError,   // 500 with an error page
  kShortBody,     // the normal answer's length announced, half of it sent, then closed
  kHugeBody,      // 200 with a 5 MiB body
  kNotGbk,        // 200 with bytes that never decode as GBK
  kEmpty,         // 200 with an empty body
  kNoise,         // 200 with random bytes
  kTrickle,       // 200 with the start of the normal answer, one byte a second, then the end
  kRedirectLoop,  // 302 to the very address asked for, again and again
};

inline constexpr std::array<Fault, 11> kFaultCycle = {
    Fault::kClose,     Fault::kSilence,  Fault::kNotFound,    Fault::kServerError,
    Fault::kShortBody, Fault::kHugeBody, Fault::kNotGbk,      Fault::kEmpty,
    Fault::kNoise,     Fault::kTrickle,  Fault::kRedirectLoop};

// Past the widget's 15 s time-out; the hold also ends when the client hangs up.
inline constexpr std::chrono::milliseconds kSilenceHold{60000};
inline constexpr std::size_t kHugeBodyBytes = std::size_t{5} << 20;
inline constexpr std::size_t kNoiseBytes = 4096;
inline constexpr std::size_t kTrickleBytes = 30;
inline constexpr std::chrono::milliseconds kTrickleInterval{1000};

// "close", "silence", "not-found", "server-error", "short-body", "huge-body", "not-gbk",
// "empty", "noise", "trickle", "redirect-loop": the names the log and the soak use.
std::string_view FaultName(Fault fault);

// True for the paths the fault mode disturbs: the price, news and version paths
// (net/wire_paths.h) in any letter case.
bool IsFaultyPath(std::string_view path);

// Which fault each request gets: one cycle shared by the disturbed endpoints, so that even a
// short run meets many kinds. A request for a target just redirected to itself is sent round
// again without a step, so that a client following redirects really loops.
class FaultCycle {
 public:
  explicit FaultCycle(std::uint64_t seed) : noise_(seed) {}

  // `target` is the path with its query, exactly as received.
  Fault Next(std::string_view target);

  // The reply for `fault`; `normal_body` is what the endpoint would have answered.
  ScriptedReply Reply(Fault fault, std::string_view target, std::string_view normal_body);

 private:
  std::size_t position_ = 0;
  // Targets recently redirected to themselves; bounded, as an abandoned loop never says so.
  std::deque<std::string> looping_;
  std::mt19937_64 noise_;
};

}  // namespace lumetta_server
