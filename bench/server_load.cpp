// Simulated panels against a running lumetta-server on loopback, for run_benchmarks.sh. Every
// request goes on a connection of its own, with the request line and header lines the panel
// sends (net/http_request.h, net/endpoints.h) and Host 127.0.0.1:PORT. Only the server process
// is measured (its CPU-time clock and /proc/PID/status), never this one.
//
//   server_load paced --port N --pid PID [--panels P] [--refresh SECONDS] [--seconds S]
//                     [--warm-up SECONDS]
//     P panels each asking for the quote list every refresh (3 s), their requests spread
//     evenly; after the warm-up, S seconds are measured. Prints requests, failed, seconds,
//     throughput_per_s, latency_p50_us, latency_p99_us, latency_max_us (connect to the reply's
//     last byte), most_open (connections open at once), start_lag_max_ms (how far a request
//     started behind its schedule), server_cpu_percent (of one core), server_vmrss_kb,
//     server_vmhwm_kb.
//
//   server_load flood --port N --pid PID [--requests N] [--warm-up N] [--in-flight K]
//                     [--panels P] [--trend-every T] [--count-every C]
//     Requests as fast as the server takes them, K at a time: the quote list, every C-th the
//     usage counter with the cookie of one of P panels (each panel loads it every minute at a
//     3 s refresh: C = 20), every T-th the day's points of gold. Memory is read after the
//     warm-up and at the end. Prints warm_up_requests, requests, failed, seconds,
//     throughput_per_s, trend_requests, count_requests, server_cpu_percent,
//     vmrss_after_warm_up_kb, vmhwm_after_warm_up_kb, vmrss_kb, vmhwm_kb, growth_kb,
//     growth_bytes_per_request, vmrss_by_tenth_kb (ten figures, comma-separated). Memory is read
//     with no request under way.
//
//   server_load day [--requests N] [--warm-up N] [--in-flight K] [--panels P] [--trend-every T]
//                   [--count-every C]
//     The flood's mix against the quote server run in this process (the same QuoteServer that
//     lumetta-server runs), whose wall clock, not settable from lumetta-server's command line,
//     stays at a midnight of the demonstration's market through the warm-up, then moves one
//     trading day over the N requests, to just before the next midnight: the day's record
//     goes from its smallest to its fullest. A second of that day gets a request or more, as with
//     1,000 panels (333 requests a second). Prints the flood's figures but the processor time,
//     which here would include this program's own; the memory is this process's, the generator's
//     being flat.
//
// A request fails when it cannot connect, the connection breaks, the status is not 200 or no
// complete reply comes within 10 s; the program exits 1 when any failed (the figures would
// not be the server's at work), 2 on a bad command line.

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <signal.h>
#include <sys/epoll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/proc_stats.h"
#include "net/cache_buster.h"
#include "net/http_request.h"
#include "net/wire_paths.h"
#include "server/heap_settings.h"
#include "server/quote_server.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto kReplyLimit = std::chrono::seconds(10);
// 2025-01-06 00:00 in the demonstration market's zone (UTC+8), Unix seconds: the simulated day.
constexpr std::int64_t kSimulatedDayStart = 1'736'092'800;
constexpr double kSecondsPerDay = 86'400;

struct Options {
  std::string mode;
  int port = 8750;
  pid_t pid = 0;
  // paced
  int panels = 1000;
  double refresh_seconds = 3;
  double seconds = 60;
  double warm_up_seconds = 5;
  // flood
  long requests = 200'000;
  long warm_up_requests = 20'000;
  int in_flight = 16;
  long trend_every = 100;
  long count_every = 20;
};

constexpr std::string_view kUsage =
    "usage: server_load paced --port N --pid PID [--panels P] [--refresh SECONDS] [--seconds S]\n"
    "                         [--warm-up SECONDS]\n"
    "       server_load flood --port N --pid PID [--requests N] [--warm-up N] [--in-flight K]\n"
    "                         [--panels P] [--trend-every T] [--count-every C]\n"
    "       server_load day [--requests N] [--warm-up N] [--in-flight K] [--panels P]\n"
    "                       [--trend-every T] [--count-every C]\n";

template <typename Number>
bool Parse(std::string_view text, Number& number) {
  const auto parsed = std::from_chars(text.data(), text.data() + text.size(), number);
  return !text.empty() && parsed.ec == std::errc() && parsed.ptr == text.data() + text.size();
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  if (argc < 2) return std::nullopt;
  Options options;
  options.mode = argv[1];
  const bool paced = options.mode == "paced";
  const bool day = options.mode == "day";
  if (!paced && !day && options.mode != "flood") return std::nullopt;
  for (int index = 2; index + 1 < argc; index += 2) {
    const std::string_view name = argv[index];
    const std::string_view value = argv[index + 1];
    bool valid = false;
    if (day && (name == "--port" || name == "--pid")) {
      valid = false;
    } else if (name == "--port") {
      valid = Parse(value, options.port) && options.port > 0 && options.port < 65536;
    } else if (name == "--pid") {
      valid = Parse(value, options.pid) && options.pid > 0;
    } else if (name == "--panels") {
      valid = Parse(value, options.panels) && options.panels > 0;
    } else if (paced && name == "--refresh") {
      valid = Parse(value, options.refresh_seconds) && options.refresh_seconds > 0;
    } else if (paced && name == "--seconds") {
      valid = Parse(value, options.seconds) && options.seconds > 0;
    } else if (paced && name == "--warm-up") {
      valid = Parse(value, options.warm_up_seconds) && options.warm_up_seconds >= 0;
    } else if (!paced && name == "--requests") {
      valid = Parse(value, options.requests) && options.requests > 0;
    } else if (!paced && name == "--warm-up") {
      valid = Parse(value, options.warm_up_requests) && options.warm_up_requests >= 0;
    } else if (!paced && name == "--in-flight") {
      valid = Parse(value, options.in_flight) && options.in_flight > 0;
    } else if (!paced && name == "--trend-every") {
      valid = Parse(value, options.trend_every) && options.trend_every > 0;
    } else if (!paced && name == "--count-every") {
      valid = Parse(value, options.count_every) && options.count_every > 0;
    }
    if (!valid) return std::nullopt;
  }
  if ((argc - 2) % 2 != 0 || (!day && options.pid == 0)) return std::nullopt;
  return options;
}

void Print(std::string_view key, double value) {
  std::printf("%.*s=%.3f\n", static_cast<int>(key.size()), key.data(), value);
}

// The request of the panel: its path and query, then the header lines libcurl and the panel
// send, Host first.
std::string PanelRequest(std::string_view target, int port, std::string_view cookie = {}) {
  std::string request = "GET ";
  request += target;
  request += " HTTP/1.1\r\nHost: 127.0.0.1:" + std::to_string(port) + "\r\n";
  for (const std::string& line : Code::BrowserHeaderLines()) request += line + "\r\n";
  if (!cookie.empty()) {
    request += "Cookie: ";
    request += cookie;
    request += "\r\n";
  }
  return request + "\r\n";
}

std::string QuoteListTarget() {
  return std::string(wire::kPricePath) + "?Type=0&r=" + Code::NewCacheBustingNumber();
}

// One request on its own connection, from connect to the server's close.
struct Exchange {
  int fd = -1;
  Clock::time_point began;
  std::string request;
  size_t sent = 0;
  std::string reply;
  std::optional<size_t> reply_size;  // head and body, once the head is in
  std::optional<Clock::time_point> completed;
  bool measured = true;  // false during the warm-up
};

// Connections under way, on one epoll set. A finished exchange reports its latency (nothing
// when it failed) to `on_done`.
class Exchanges {
 public:
  // `keep_latencies`: each measured exchange's latency is kept for the percentiles; otherwise
  // they are only counted, so that this process's memory stays flat however many there are.
  Exchanges(int port, bool keep_latencies)
      : port_(port), keep_latencies_(keep_latencies), epoll_(epoll_create1(EPOLL_CLOEXEC)) {}
  ~Exchanges() {
    for (auto& [fd, exchange] : open_) ::close(fd);
    ::close(epoll_);
  }
  Exchanges(const Exchanges&) = delete;
  Exchanges& operator=(const Exchanges&) = delete;

  size_t open() const { return open_.size(); }

  // False when no socket could even be made; a refused connect counts as a failure.
  bool Start(std::string request, bool measured) {
    Exchange exchange;
    exchange.request = std::move(request);
    exchange.measured = measured;
    exchange.began = Clock::now();
    exchange.fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (exchange.fd < 0) return false;
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<std::uint16_t>(port_));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (::connect(exchange.fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 &&
        errno != EINPROGRESS) {
      ::close(exchange.fd);
      Fail();
      return true;
    }
    epoll_event event{};
    event.events = EPOLLOUT | EPOLLIN | EPOLLRDHUP;
    event.data.fd = exchange.fd;
    epoll_ctl(epoll_, EPOLL_CTL_ADD, exchange.fd, &event);
    open_.emplace(exchange.fd, std::move(exchange));
    return true;
  }

  // Handles what happened within `wait`; ends exchanges that took too long.
  void Poll(std::chrono::milliseconds wait) {
    epoll_event events[64];
    const int count = epoll_wait(epoll_, events, 64, static_cast<int>(wait.count()));
    for (int index = 0; index < count; ++index) {
      const auto found = open_.find(events[index].data.fd);
      if (found != open_.end()) Handle(found->second, events[index].events);
    }
    const Clock::time_point now = Clock::now();
    for (auto it = open_.begin(); it != open_.end();) {
      auto next = std::next(it);
      if (now - it->second.began > kReplyLimit) End(it->second, false);
      it = next;
    }
  }

  long failed() const { return failed_; }
  long completed() const { return completed_; }  // measured ones
  std::vector<double>& latencies_us() { return latencies_us_; }

 private:
  void Handle(Exchange& exchange, std::uint32_t events) {
    if (exchange.sent < exchange.request.size() && (events & (EPOLLOUT | EPOLLERR)) != 0) {
      int error = 0;
      socklen_t size = sizeof error;
      getsockopt(exchange.fd, SOL_SOCKET, SO_ERROR, &error, &size);
      const ssize_t written = error != 0
                                  ? -1
                                  : ::send(exchange.fd, exchange.request.data() + exchange.sent,
                                           exchange.request.size() - exchange.sent, MSG_NOSIGNAL);
      if (written < 0 && errno != EAGAIN) {
        End(exchange, false);
        return;
      }
      if (written > 0) exchange.sent += static_cast<size_t>(written);
      if (exchange.sent == exchange.request.size()) {
        epoll_event event{};
        event.events = EPOLLIN | EPOLLRDHUP;
        event.data.fd = exchange.fd;
        epoll_ctl(epoll_, EPOLL_CTL_MOD, exchange.fd, &event);
      }
    }
    if ((events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) == 0) return;
    char buffer[16384];
    for (;;) {
      const ssize_t got = ::recv(exchange.fd, buffer, sizeof buffer, 0);
      if (got > 0) {
        exchange.reply.append(buffer, static_cast<size_t>(got));
        NoteProgress(exchange);
        continue;
      }
      if (got < 0 && errno == EAGAIN) return;
      // The server closes each connection once its reply is out: the end, whole or not.
      End(exchange, got == 0 && exchange.completed.has_value());
      return;
    }
  }

  // Finds the reply's size in its head and notes when the last byte came.
  static void NoteProgress(Exchange& exchange) {
    if (!exchange.reply_size) {
      const size_t head_end = exchange.reply.find("\r\n\r\n");
      if (head_end == std::string::npos) return;
      const std::string_view head(exchange.reply.data(), head_end);
      if (!head.starts_with("HTTP/1.1 200 ")) {
        exchange.reply_size = 0;  // never complete: a failure
        return;
      }
      size_t length = 0;
      const size_t at = head.find("\r\nContent-Length: ");
      if (at == std::string_view::npos) {
        exchange.reply_size = 0;
        return;
      }
      const std::string_view digits = head.substr(at + 18, head.find("\r\n", at + 2) - at - 18);
      if (!Parse(digits, length)) {
        exchange.reply_size = 0;
        return;
      }
      exchange.reply_size = head_end + 4 + length;
    }
    if (*exchange.reply_size > 0 && exchange.reply.size() >= *exchange.reply_size &&
        !exchange.completed) {
      exchange.completed = Clock::now();
    }
  }

  void End(Exchange& exchange, bool complete) {
    if (complete && exchange.reply.size() == *exchange.reply_size) {
      if (exchange.measured) ++completed_;
      if (exchange.measured && keep_latencies_) {
        latencies_us_.push_back(
            std::chrono::duration<double, std::micro>(*exchange.completed - exchange.began)
                .count());
      }
    } else {
      Fail();
    }
    epoll_ctl(epoll_, EPOLL_CTL_DEL, exchange.fd, nullptr);
    const int fd = exchange.fd;
    ::close(fd);
    open_.erase(fd);
  }

  // The warm-up's failures count too: a server that fails then is not at work either.
  void Fail() { ++failed_; }

  const int port_;
  const bool keep_latencies_;
  const int epoll_;
  std::map<int, Exchange> open_;
  std::vector<double> latencies_us_;
  long failed_ = 0;
  long completed_ = 0;
};

double Percentile(std::vector<double> values, double share) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const auto rank = static_cast<size_t>(std::ceil(share * static_cast<double>(values.size())));
  return values[std::clamp<size_t>(rank, 1, values.size()) - 1];
}

struct ServerSample {
  long long cpu_ns = 0;
  long vmrss_kb = 0;
  long vmhwm_kb = 0;
  Clock::time_point at;
};

std::optional<ServerSample> SampleServer(pid_t pid) {
  const auto cpu = bench::ProcessCpuNanoseconds(pid);
  const auto rss = bench::StatusKilobytes(pid, "VmRSS");
  const auto hwm = bench::StatusKilobytes(pid, "VmHWM");
  if (!cpu || !rss || !hwm) return std::nullopt;
  return ServerSample{*cpu, *rss, *hwm, Clock::now()};
}

double Seconds(Clock::duration span) { return std::chrono::duration<double>(span).count(); }

double CpuPercent(const ServerSample& before, const ServerSample& after) {
  return 100.0 * static_cast<double>(after.cpu_ns - before.cpu_ns) / 1e9 /
         Seconds(after.at - before.at);
}

int RunPaced(const Options& options) {
  Exchanges exchanges(options.port, /*keep_latencies=*/true);
  const auto interval = std::chrono::duration_cast<Clock::duration>(
      std::chrono::duration<double>(options.refresh_seconds / options.panels));
  const Clock::time_point begin = Clock::now();
  const Clock::time_point measure_from =
      begin + std::chrono::duration_cast<Clock::duration>(
                  std::chrono::duration<double>(options.warm_up_seconds));
  const Clock::time_point end = measure_from + std::chrono::duration_cast<Clock::duration>(
                                                   std::chrono::duration<double>(options.seconds));
  std::optional<ServerSample> before;
  Clock::time_point next = begin;
  size_t most_open = 0;
  double lag_max_ms = 0;
  long started = 0;
  // The window runs to its end, or to the last reply when that comes later.
  for (Clock::time_point now = begin; now < end || exchanges.open() > 0; now = Clock::now()) {
    if (!before && now >= measure_from) before = SampleServer(options.pid);
    while (next < end && next <= now) {
      const bool measured = next >= measure_from;
      if (measured) {
        lag_max_ms =
            std::max(lag_max_ms, std::chrono::duration<double, std::milli>(now - next).count());
        ++started;
      }
      if (!exchanges.Start(PanelRequest(QuoteListTarget(), options.port), measured)) {
        std::cerr << "server_load: cannot make a socket\n";
        return 1;
      }
      most_open = std::max(most_open, exchanges.open());
      next += interval;
    }
    now = Clock::now();
    const auto until_next = std::chrono::ceil<std::chrono::milliseconds>(std::min(next, end) - now);
    exchanges.Poll(
        std::clamp(until_next, std::chrono::milliseconds(0), std::chrono::milliseconds(100)));
  }
  // The window ends with the last reply: the server's work on the last requests counts.
  const std::optional<ServerSample> after = SampleServer(options.pid);
  if (!before || !after) {
    std::cerr << "server_load: cannot read the server's figures (pid " << options.pid << ")\n";
    return 1;
  }
  const double seconds = Seconds(after->at - before->at);
  std::vector<double>& latencies = exchanges.latencies_us();
  Print("requests", static_cast<double>(started));
  Print("failed", static_cast<double>(exchanges.failed()));
  Print("seconds", seconds);
  Print("throughput_per_s", static_cast<double>(exchanges.completed()) / seconds);
  Print("latency_p50_us", Percentile(latencies, 0.50));
  Print("latency_p99_us", Percentile(latencies, 0.99));
  Print("latency_max_us", Percentile(latencies, 1.0));
  Print("most_open", static_cast<double>(most_open));
  Print("start_lag_max_ms", lag_max_ms);
  Print("server_cpu_percent", CpuPercent(*before, *after));
  Print("server_vmrss_kb", static_cast<double>(after->vmrss_kb));
  Print("server_vmhwm_kb", static_cast<double>(after->vmhwm_kb));
  return exchanges.failed() == 0 ? 0 : 1;
}

// The request number `index` of the flood's mix.
std::string FloodRequest(const Options& options, long index, long& trends, long& counts,
                         bool measured) {
  if (index % options.trend_every == options.trend_every - 1) {
    if (measured) ++trends;
    return PanelRequest(
        std::string(wire::kTrendPath) + "?code=au&r=" + Code::NewCacheBustingNumber(),
        options.port);
  }
  if (index % options.count_every == options.count_every - 1) {
    if (measured) ++counts;
    // Each panel keeps the visitor cookie the counter gave it on its first load.
    char visitor[24];
    const auto written = std::to_chars(
        visitor, visitor + sizeof visitor,
        0x5eed0000ULL +
            static_cast<unsigned long long>(index / options.count_every % options.panels),
        16);
    return PanelRequest(wire::kCountPath, options.port,
                        "CountId=" + std::string(visitor, written.ptr));
  }
  return PanelRequest(QuoteListTarget(), options.port);
}

// `started`, when given, counts the requests as they start (the simulated day's clock); with
// it the server is this process, whose processor time is not the server's alone.
int RunFlood(const Options& options, std::atomic<long>* started_count = nullptr) {
  Exchanges exchanges(options.port, /*keep_latencies=*/false);
  const long total = options.warm_up_requests + options.requests;
  long started = 0;
  long trends = 0;
  long counts = 0;
  // Memory is read after the warm-up and at each tenth of the rest, each time once every reply
  // is in and the server's connection threads have had a moment to end.
  constexpr auto kSettle = std::chrono::milliseconds(200);
  long boundary = options.warm_up_requests;
  long tenths = 0;
  std::optional<ServerSample> warmed;
  std::optional<ServerSample> after;
  std::string by_tenth;
  Clock::duration settling{};
  for (;;) {
    if (started == boundary && exchanges.open() == 0) {
      std::this_thread::sleep_for(kSettle);
      settling += kSettle;
      const std::optional<ServerSample> sample = SampleServer(options.pid);
      if (!sample) break;
      if (!warmed) {
        warmed = sample;
        settling = {};
      } else {
        by_tenth += (by_tenth.empty() ? "" : ",") + std::to_string(sample->vmrss_kb);
        after = sample;
      }
      if (boundary == total) break;
      boundary = options.warm_up_requests + options.requests * ++tenths / 10;
    }
    while (started < boundary && exchanges.open() < static_cast<size_t>(options.in_flight)) {
      if (!exchanges.Start(FloodRequest(options, started, trends, counts, warmed.has_value()),
                           warmed.has_value())) {
        std::cerr << "server_load: cannot make a socket\n";
        return 1;
      }
      ++started;
      if (started_count != nullptr) ++*started_count;
    }
    exchanges.Poll(std::chrono::milliseconds(100));
  }
  if (!warmed || !after) {
    std::cerr << "server_load: cannot read the server's figures (pid " << options.pid << ")\n";
    return 1;
  }
  // The pauses for reading memory are not the server's work.
  const double seconds = Seconds(after->at - warmed->at - settling);
  const long growth_kb = after->vmrss_kb - warmed->vmrss_kb;
  Print("warm_up_requests", static_cast<double>(options.warm_up_requests));
  Print("requests", static_cast<double>(options.requests));
  Print("failed", static_cast<double>(exchanges.failed()));
  Print("seconds", seconds);
  Print("throughput_per_s", static_cast<double>(exchanges.completed()) / seconds);
  Print("trend_requests", static_cast<double>(trends));
  Print("count_requests", static_cast<double>(counts));
  if (started_count == nullptr) Print("server_cpu_percent", CpuPercent(*warmed, *after));
  Print("vmrss_after_warm_up_kb", static_cast<double>(warmed->vmrss_kb));
  Print("vmhwm_after_warm_up_kb", static_cast<double>(warmed->vmhwm_kb));
  Print("vmrss_kb", static_cast<double>(after->vmrss_kb));
  Print("vmhwm_kb", static_cast<double>(after->vmhwm_kb));
  Print("growth_kb", static_cast<double>(growth_kb));
  std::printf("vmrss_by_tenth_kb=%s\n", by_tenth.c_str());
  Print("growth_bytes_per_request",
        1024.0 * static_cast<double>(growth_kb) / static_cast<double>(options.requests));
  return exchanges.failed() == 0 ? 0 : 1;
}

int RunDay(Options options) {
  std::atomic<long> started{0};
  // Just short of a day over the measured requests, so that the last stays in it.
  const double seconds_per_request = (kSecondsPerDay - 1) / static_cast<double>(options.requests);
  // The clock stays at the day's first second through the warm-up: the day's record is then
  // at its smallest, and at the end at its fullest, the most it can grow in a day.
  const double warm_up = static_cast<double>(options.warm_up_requests);
  // As lumetta-server sets it up, but for the clock.
  lumetta_server::ShareOneHeap();
  lumetta_server::ServerOptions server_options;
  server_options.seed = 1;
  server_options.log_capacity = 0;
  server_options.wall_clock = [&started, warm_up, seconds_per_request] {
    const double after_warm_up = std::max(0.0, static_cast<double>(started.load()) - warm_up);
    return kSimulatedDayStart +
           static_cast<std::int64_t>(std::floor(seconds_per_request * after_warm_up));
  };
  // As in lumetta-server: a client that hangs up early must not end the process.
  signal(SIGPIPE, SIG_IGN);
  lumetta_server::QuoteServer server(server_options);
  if (!server.Start()) {
    std::cerr << "server_load: cannot start the quote server\n";
    return 1;
  }
  options.port = server.port();
  options.pid = ::getpid();
  const int result = RunFlood(options, &started);
  Print("simulated_seconds_per_request", seconds_per_request);
  server.Stop();
  return result;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::cerr << kUsage;
    return 2;
  }
  if (options->mode == "paced") return RunPaced(*options);
  if (options->mode == "day") return RunDay(*options);
  return RunFlood(*options);
}
