// lumetta-server: the bundled quote server, the widget's default peer.
//   lumetta-server [--port N] [--bind ADDRESS] [--seed N] [--offer-update optional|mandatory]
//                  [--log] [--faults] [--faults-for SECONDS] [--idle-exit SECONDS]
//   lumetta-server --live [--sources FILE] [--port N] [--bind ADDRESS] [--log] [--idle-exit S]
//   lumetta-server --help
// Its quotes are simulated, not market prices; its usage (--help), its start line and its
// headlines say so. With --live it serves the market's quotes instead, fetched from the public
// sources of a sources file (--sources FILE; otherwise the user's, the installed or the build
// tree's live-sources.ini): its start line and its headline name them and say that they are
// for reference only. A bad sources file is refused with "lumetta-server: FILE:LINE: MESSAGE"
// and exit status 2. Prints "lumetta-server (local demonstration: ...) listening on HOST:PORT"
// once it accepts connections and stops cleanly on SIGINT or SIGTERM. With --log it also prints
// "METHOD TARGET" for every request it serves.
//
// Started by systemd's socket activation (lumetta-server.socket) it serves the socket it is
// handed instead of binding --bind/--port, and ends after --idle-exit seconds without an open
// connection (300 unless given), leaving the socket to start it again. --idle-exit also ends a
// server that listens by itself.
//
// --faults makes the quote, news and version endpoints misbehave, for trying the widget against
// a bad server: request by request they answer with the next of these faults, in this order
//   close          the connection closed at once, nothing sent
//   silence        nothing sent until the client gives up (60 s at most), then closed
//   not-found      404
//   server-error   500 with an error page
//   short-body     the real answer's length announced, half of it sent, then closed
//   huge-body      a 5 MiB body
//   not-gbk        bytes that are not GBK
//   empty          an empty 200
//   noise          4 KiB of random bytes
//   trickle        the start of the real answer, one byte a second, 30 bytes at most
//   redirect-loop  302 to the address asked for; following it loops
// and then start again; a stopping server ends the held connections at once. In fault mode the
// listening line is followed by "lumetta-server fault cycle: NAME...", and --log adds
// "fault NAME METHOD TARGET" for each request to those endpoints ("fault none ..." once the
// faults are over). --faults-for SECONDS (implies --faults) ends the faults after that many
// seconds and prints "lumetta-server faults over"; the endpoints then answer normally.

#include <pthread.h>
#include <signal.h>
#include <systemd/sd-daemon.h>

#include <charconv>
#include <chrono>
#include <cstdint>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "server/fault_mode.h"
#include "server/heap_settings.h"
#include "server/live/live_book.h"
#include "server/live/source_reply.h"
#include "server/live/sources_file.h"
#include "server/live/upstream_fetch.h"
#include "server/quote_server.h"

namespace {

constexpr std::string_view kUsage =
    "lumetta-server: a local quote server. Without --live it is a demonstration: its quotes are\n"
    "simulated, a random walk near real price levels, not market prices, and its headlines are\n"
    "made up. With --live it serves quotes of public sources, for reference only.\n"
    "usage: lumetta-server [--port N] [--bind ADDRESS] [--seed N] "
    "[--offer-update optional|mandatory] [--log]\n"
    "                      [--faults] [--faults-for SECONDS] [--idle-exit SECONDS]\n"
    "       lumetta-server --live [--sources FILE] [--port N] [--bind ADDRESS] [--log]\n"
    "                      [--idle-exit SECONDS]\n"
    "       lumetta-server --help\n"
    "  --live              serve the market's quotes, fetched from public sources, instead\n"
    "  --sources FILE      the live mode's sources file; otherwise the first that exists of\n"
    "                      ~/.config/lumetta/live-sources.ini, the installed one and the build\n"
    "                      tree's data/live-sources.ini\n"
    "  --faults            the quote, news and version endpoints answer with faults in turn\n"
    "  --faults-for S      the same for S seconds (a whole number above 0), then normally\n"
    "  --idle-exit S       end after S seconds without an open connection\n"
    "Started by socket activation (lumetta-server.socket) it serves the socket it is handed and\n"
    "ends after 300 s without a connection unless --idle-exit says otherwise.\n";

// Socket activation's default: a server nobody asks costs nothing for long.
constexpr std::chrono::seconds kActivatedIdleExit{300};

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
  Number number{};
  const auto parsed = std::from_chars(text.data(), text.data() + text.size(), number);
  if (text.empty() || parsed.ec != std::errc() || parsed.ptr != text.data() + text.size()) {
    return std::nullopt;
  }
  return number;
}

// Lines come from every serving thread; each is written whole.
void PrintLine(const std::string& line) {
  static std::mutex mutex;
  std::lock_guard lock(mutex);
  std::cout << line << std::endl;
}

void PrintRequestLine(const lumetta_server::LoggedRequest& request) {
  PrintLine(request.method + ' ' + request.target);
}

void PrintFaultLine(const lumetta_server::LoggedRequest& request, std::string_view fault) {
  PrintLine("fault " + std::string(fault) + ' ' + request.method + ' ' + request.target);
}

// Waits for a stop signal while the faults last and reports their end: the signal, or 0 once
// the faults are over. Waits in slices, as the server's clock decides when they end.
int WaitWhileFaulty(const sigset_t& stop_signals, const lumetta_server::QuoteServer& server) {
  const timespec slice{0, 100'000'000};
  while (server.FaultsActive()) {
    const int received = sigtimedwait(&stop_signals, nullptr, &slice);
    if (received > 0) return received;
  }
  PrintLine("lumetta-server faults over");
  return 0;
}

// Waits for a stop signal, or until no connection has been open for `idle_exit` (zero: no
// limit); the signal, or 0 for the idle end.
int WaitForStop(const sigset_t& stop_signals, const lumetta_server::QuoteServer& server,
                std::chrono::seconds idle_exit) {
  if (idle_exit.count() == 0) {
    int received = 0;
    sigwait(&stop_signals, &received);
    return received;
  }
  const timespec slice{0, 100'000'000};
  while (server.IdleFor() < idle_exit) {
    const int received = sigtimedwait(&stop_signals, nullptr, &slice);
    if (received > 0) return received;
  }
  PrintLine("lumetta-server idle for " + std::to_string(idle_exit.count()) + " s, ending");
  return 0;
}

struct LiveChoice {
  bool live = false;
  std::string sources;  // empty: looked up
};

// Fills `options` from the command line; false on anything it does not understand, and on
// options that do not go together (--sources without --live, the live mode with the walk's
// own options).
bool ParseArguments(int argc, char** argv, lumetta_server::ServerOptions& options,
                    std::optional<std::chrono::seconds>& idle_exit, LiveChoice& live) {
  bool walk_options = false;
  options.port = 8750;
  // Nothing asks this process for its requests later: --log prints them, and that is all.
  options.log_capacity = 0;
  bool log = false;
  options.seed = std::random_device{}();
  for (int index = 1; index < argc; ++index) {
    std::string_view name = argv[index];
    if (name == "--log") {
      log = true;
      continue;
    }
    if (name == "--faults") {
      options.faults = true;
      continue;
    }
    if (name == "--live") {
      live.live = true;
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
      walk_options = true;
    } else if (name == "--offer-update") {
      if (value == "optional") {
        options.offer = lumetta_server::UpdateOffer::kOptional;
      } else if (value == "mandatory") {
        options.offer = lumetta_server::UpdateOffer::kMandatory;
      } else {
        return false;
      }
      walk_options = true;
    } else if (name == "--idle-exit") {
      const auto seconds = ParseNumber<int>(value);
      if (!seconds || *seconds <= 0) return false;
      idle_exit = std::chrono::seconds(*seconds);
    } else if (name == "--faults-for") {
      const auto seconds = ParseNumber<int>(value);
      if (!seconds || *seconds <= 0) return false;
      options.faults = true;
      options.faults_for = std::chrono::seconds(*seconds);
    } else if (name == "--sources") {
      if (value.empty()) return false;
      live.sources = std::string(value);
    } else {
      return false;
    }
  }
  // The fault mode and the walk's seed and update offer are the demonstration's.
  if (live.live ? walk_options || options.faults : !live.sources.empty()) return false;
  if (log) {
    options.on_request = PrintRequestLine;
    if (options.faults) options.on_fault = PrintFaultLine;
  }
  return true;
}

}  // namespace

std::filesystem::path ExecutableFolder() {
  std::error_code error;
  const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
  return error ? std::filesystem::path() : self.parent_path();
}

// The book of the live mode, from the sources file named or found; nothing, after saying why on
// standard error, when there is no file or it is refused.
std::shared_ptr<live::LiveBook> MakeLiveBook(const LiveChoice& choice,
                                             std::filesystem::path& file) {
  file = choice.sources;
  if (file.empty()) {
    const std::vector<std::filesystem::path> candidates = live::SourcesFileCandidates(
        [](const char* name) { return std::getenv(name); }, LUMETTA_DATA_DIR, ExecutableFolder());
    file = live::FirstExisting(candidates);
    if (file.empty()) {
      std::cerr << "lumetta-server: no sources file for --live; looked for";
      for (const std::filesystem::path& candidate : candidates)
        std::cerr << ' ' << candidate.string();
      std::cerr << "\n";
      return nullptr;
    }
  }
  std::variant<live::LiveConfig, std::string> loaded = live::LoadSourcesFile(file);
  if (const std::string* refusal = std::get_if<std::string>(&loaded)) {
    std::cerr << "lumetta-server: " << *refusal << "\n";
    return nullptr;
  }
  return std::make_shared<live::LiveBook>(std::get<live::LiveConfig>(std::move(loaded)),
                                          live::UpstreamFetch, live::ParseReply);
}

std::string JoinedNames(const std::vector<std::string>& names) {
  std::string joined;
  for (const std::string& name : names) {
    if (!joined.empty()) joined += ", ";
    joined += name;
  }
  return joined;
}

int main(int argc, char** argv) {
  lumetta_server::ShareOneHeap();
  for (int index = 1; index < argc; ++index) {
    if (std::string_view(argv[index]) == "--help") {
      std::cout << kUsage;
      return 0;
    }
  }
  lumetta_server::ServerOptions options;
  std::optional<std::chrono::seconds> idle_exit;
  LiveChoice live_choice;
  if (!ParseArguments(argc, argv, options, idle_exit, live_choice)) {
    std::cerr << kUsage;
    return 2;
  }
  std::filesystem::path sources_file;
  if (live_choice.live) {
    options.live = MakeLiveBook(live_choice, sources_file);
    if (!options.live) return 2;
  }
  // Handed a socket by systemd: serve it, and give it back when nobody has asked for a while.
  // The variables are removed so that nothing this process starts takes the socket for its own.
  const int handed = sd_listen_fds(1);
  if (handed < 0 || handed > 1 ||
      (handed == 1 && sd_is_socket(SD_LISTEN_FDS_START, AF_UNSPEC, SOCK_STREAM, 1) <= 0)) {
    std::cerr << "lumetta-server: socket activation must hand over one listening stream socket\n";
    return 1;
  }
  if (handed == 1) {
    options.listen_fd = SD_LISTEN_FDS_START;
    if (!idle_exit) idle_exit = kActivatedIdleExit;
  }

  // Block the stop signals before any thread exists, so that all threads inherit the mask and
  // only the sigwait below receives them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);
  signal(SIGPIPE, SIG_IGN);
  if (options.live) {
    live::InitUpstreamFetch();
    // Idle until the first panel asks; the server starts at once either way.
    options.live->Start();
  }

  lumetta_server::QuoteServer server(options);
  if (!server.Start()) {
    std::cerr << "lumetta-server: cannot listen on " << options.bind << ":" << options.port << "\n";
    return 1;
  }
  if (options.live) {
    PrintLine("lumetta-server (live quotes from public sources: " +
              JoinedNames(live::UsedSourceNames(options.live->config())) +
              "; for reference only) listening on " + server.host());
    PrintLine("lumetta-server sources file: " + sources_file.string());
  } else {
    PrintLine(
        "lumetta-server (local demonstration: its quotes are simulated, not market prices) "
        "listening on " +
        server.host());
  }

  int received = 0;
  if (options.faults) {
    std::string cycle = "lumetta-server fault cycle:";
    for (const lumetta_server::Fault fault : lumetta_server::kFaultCycle) {
      cycle += ' ';
      cycle += lumetta_server::FaultName(fault);
    }
    PrintLine(cycle);
    received = WaitWhileFaulty(stop_signals, server);
  }
  if (received == 0)
    received = WaitForStop(stop_signals, server, idle_exit.value_or(std::chrono::seconds(0)));
  server.Stop();
  if (options.live) options.live->Stop();
  return 0;
}
