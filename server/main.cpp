// lumetta-server: the bundled quote server, the widget's default peer.
//   lumetta-server [--port N] [--bind ADDRESS] [--seed N] [--offer-update optional|mandatory]
//                  [--log]
// Prints "lumetta-server listening on HOST:PORT" once it accepts connections and stops cleanly
// on SIGINT or SIGTERM. With --log it also prints "METHOD TARGET" for every request it serves.

#include <pthread.h>
#include <signal.h>

#include <charconv>
#include <cstdint>
#include <iostream>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>

#include "server/quote_server.h"

namespace {

constexpr std::string_view kUsage =
    "usage: lumetta-server [--port N] [--bind ADDRESS] [--seed N] "
    "[--offer-update optional|mandatory] [--log]\n";

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
  Number number{};
  const auto parsed = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  return number;
}

void PrintRequestLine(const lumetta_server::LoggedRequest& request) {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  std::cout << request.method << ' ' << request.target << std::endl;
}

// Fills `options` from the command line; false on anything it does not understand.
bool ParseArguments(int argc, char** argv, lumetta_server::ServerOptions& options) {
  options.port = 8750;
  options.seed = std::random_device{}();
  for (int index = 1; index < argc; ++index) {
    std::string_view name = argv[index];
    if (name == "--log") {
      options.on_request = PrintRequestLine;
      continue;
    }
    std::string_view value;
    if (const size_t equals = name.find('='); equals != std::string_view::npos) {
      value = name.substr(equals + 1);
      name = name.substr(0, equals);
    } else if (index + 1 < argc) {
      value = argv[++index];
    } else {
      return false;
    }
    if (name == "--port") {
      const auto port = ParseNumber<int>(value);
      if (!port || *port < 0 || *port > 65535) return false;
      options.port = *port;
    } else if (name == "--bind") {
      if (value.empty()) return false;
      options.bind = std::string(value);
    } else if (name == "--seed") {
      const auto seed = ParseNumber<std::uint64_t>(value);
      if (!seed) return false;
      options.seed = *seed;
    } else if (name == "--offer-update") {
      if (value == "optional") {
        options.offer = lumetta_server::UpdateOffer::kOptional;
      } else if (value == "mandatory") {
        options.offer = lumetta_server::UpdateOffer::kMandatory;
      } else {
        return false;
      }
    } else {
      return false;
    }
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  lumetta_server::ServerOptions options;
  if (!ParseArguments(argc, argv, options)) {
    std::cerr << kUsage;
    return 2;
  }

  // Block the stop signals before any thread exists, so that all threads inherit the mask and
  // only the sigwait below receives them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);

  lumetta_server::QuoteServer server(options);
  if (!server.Start()) {
    std::cerr << "lumetta-server: cannot listen on " << options.bind << ":" << options.port << "\n";
    return 1;
  }
  std::cout << "lumetta-server listening on " << server.host() << std::endl;

  int received = 0;
  sigwait(&stop_signals, &received);
  server.Stop();
  return 0;
}
