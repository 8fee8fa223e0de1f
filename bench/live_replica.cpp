// Loopback replicas of the live mode's public sources for run_benchmarks.sh, in a process of
// their own so that lumetta-server --live can be measured alone against them. Nothing here
// reaches beyond 127.0.0.1.
//
//   live_replica --shipped FILE --out FILE
//     Reads the sources file FILE (the shipped one), gives the replica a quote for the first
//     link of every product's chain, writes to --out the same file pointing at the replica
//     (each source's own interval kept) and prints "sources_file=PATH" once it is served.
//     On SIGINT or SIGTERM it prints what each source was asked and exits 0:
//       sources_asked    the ids of the sources asked at least once, space-separated
//       interval_s_ID    the source's interval in the file
//       requests_ID      requests it received
//       span_s_ID        seconds from its first request to its last
//       per_minute_ID    requests a minute over that span (60 x (requests - 1) / span; "-"
//                        with fewer than two requests): the pace kept, whatever the run's length
//       shortest_gap_s_ID  the shortest wait between two requests in a row ("-" likewise)
//     Exits 1 when the file cannot be read or the replica cannot start, 2 on a bad command line.

#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <iostream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "server/live/sources_file.h"
#include "tests/support/source_replica.h"

namespace {

// Any plausible figures do: the panels' answers are measured, not their prices.
const test_support::ReplicaQuote kQuote{"100.00", "99.90", "100.10", "101.00",
                                        "99.00",  "99.50", "99.40"};
// The file's default: only a source that does not answer would wait that long.
constexpr int kTimeoutSeconds = 5;

// The file's bytes; nothing when it cannot be read.
std::optional<std::string> ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  if (!in && !in.eof()) return std::nullopt;
  return text;
}

bool WriteText(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  return static_cast<bool>(out);
}

double Seconds(std::chrono::steady_clock::duration span) {
  return std::chrono::duration<double>(span).count();
}

void PrintFigure(std::string_view key, const std::string& id, double value) {
  std::printf("%.*s_%s=%.3f\n", static_cast<int>(key.size()), key.data(), id.c_str(), value);
}

// What `id` was asked, as the head comment lists it.
void PrintSource(const test_support::SourceReplica& replica, const live::SourceEntry& source) {
  const std::vector<std::chrono::steady_clock::time_point> arrivals = replica.Arrivals(source.id);
  PrintFigure("interval_s", source.id, static_cast<double>(source.interval.count()));
  PrintFigure("requests", source.id, static_cast<double>(arrivals.size()));
  if (arrivals.size() < 2) {
    std::printf("span_s_%s=-\nper_minute_%s=-\nshortest_gap_s_%s=-\n", source.id.c_str(),
                source.id.c_str(), source.id.c_str());
    return;
  }
  const double span = Seconds(arrivals.back() - arrivals.front());
  auto shortest = arrivals[1] - arrivals[0];
  for (size_t index = 2; index < arrivals.size(); ++index) {
    shortest = std::min(shortest, arrivals[index] - arrivals[index - 1]);
  }
  PrintFigure("span_s", source.id, span);
  PrintFigure("per_minute", source.id, 60.0 * static_cast<double>(arrivals.size() - 1) / span);
  PrintFigure("shortest_gap_s", source.id, Seconds(shortest));
}

}  // namespace

int main(int argc, char** argv) {
  std::string shipped;
  std::string out;
  for (int index = 1; index + 1 < argc; index += 2) {
    const std::string_view name = argv[index];
    if (name == "--shipped") shipped = argv[index + 1];
    if (name == "--out") out = argv[index + 1];
  }
  if (argc != 5 || shipped.empty() || out.empty()) {
    std::cerr << "usage: live_replica --shipped FILE --out FILE\n";
    return 2;
  }
  const std::variant<live::LiveConfig, std::string> loaded = live::LoadSourcesFile(shipped);
  const auto* config_found = std::get_if<live::LiveConfig>(&loaded);
  const std::optional<std::string> shipped_text = ReadText(shipped);
  if (config_found == nullptr || !shipped_text) {
    const auto* error = std::get_if<std::string>(&loaded);
    std::cerr << "live_replica: " << (error != nullptr ? *error : shipped + ": not readable")
              << "\n";
    return 1;
  }
  const live::LiveConfig& config = *config_found;

  // Blocked before the replica's threads start, which inherit the mask: only sigwait takes them.
  sigset_t stop_signals;
  sigemptyset(&stop_signals);
  sigaddset(&stop_signals, SIGINT);
  sigaddset(&stop_signals, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop_signals, nullptr);

  test_support::SourceReplica replica;
  if (!replica.running()) {
    std::cerr << "live_replica: the replica did not start\n";
    return 1;
  }
  // The first links only: while they answer, no fallback is asked.
  for (const live::ProductSources& product : config.products) {
    if (!product.chain.empty()) {
      replica.SetQuote(product.chain.front().source_id, product.chain.front().symbol, kQuote);
    }
  }
  if (!WriteText(out, test_support::ReplicaSourcesFile(*shipped_text, replica.Base(),
                                                       kTimeoutSeconds, std::nullopt))) {
    std::cerr << "live_replica: cannot write " << out << "\n";
    return 1;
  }
  std::printf("sources_file=%s\n", out.c_str());
  std::fflush(stdout);

  int signal_number = 0;
  sigwait(&stop_signals, &signal_number);
  std::string asked;
  for (const live::SourceEntry& source : config.sources) {
    if (replica.Requests(source.id) > 0) asked += (asked.empty() ? "" : " ") + source.id;
  }
  std::printf("sources_asked=%s\n", asked.c_str());
  for (const live::SourceEntry& source : config.sources) PrintSource(replica, source);
  return 0;
}
