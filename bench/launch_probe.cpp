// Starts a program and reports how long it took until its window was first drawn on the X
// server, and optionally its peak memory after a while and the processor time it used idling.
// Every program is measured by this same route, so their figures compare.
//
//   launch_probe [--dir DIR] [--size WxH] [--hold SECONDS] [--idle SECONDS]
//                [--timeout SECONDS] [--log FILE] [--no-window] -- PROGRAM [ARGUMENT...]
//
// Prints key=value lines: map_ms, expose_ms, paint_ms (from fork to the window's first
// drawing), paint_cpu_ms (processor time the program used until then); after --hold: vmhwm_kb,
// vmrss_kb; after a further --idle: cpu_ticks, idle_seconds, cpu_percent (from the process's
// CPU-time clock) and cpu_percent_with_children (plus its waited-for children's ticks). --no-window
// skips the wait for the first drawing, for a program whose window does not name its process.

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "bench/first_paint_watch.h"
#include "bench/proc_stats.h"

namespace {

struct Options {
  std::string dir = ".";
  int width = 350;
  int height = 80;
  double hold_seconds = 0;
  double idle_seconds = 0;
  double timeout_seconds = 60;
  std::string log = "/dev/null";
  bool no_window = false;
  std::vector<std::string> command;
};

constexpr char kUsage[] =
    "usage: launch_probe [--dir DIR] [--size WxH] [--hold SECONDS] [--idle SECONDS] "
    "[--timeout SECONDS] [--log FILE] [--no-window] -- PROGRAM [ARGUMENT...]\n";

bool ParseSeconds(std::string_view text, double& seconds) {
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), seconds);
  return error == std::errc() && end == text.data() + text.size() && seconds >= 0;
}

bool ParseSize(std::string_view text, int& width, int& height) {
  const size_t cross = text.find('x');
  if (cross == std::string_view::npos) return false;
  const auto [width_end, width_error] = std::from_chars(text.data(), text.data() + cross, width);
  const auto [height_end, height_error] =
      std::from_chars(text.data() + cross + 1, text.data() + text.size(), height);
  return width_error == std::errc() && width_end == text.data() + cross &&
         height_error == std::errc() && height_end == text.data() + text.size() && width > 0 &&
         height > 0;
}

std::optional<Options> ParseOptions(int argc, char** argv) {
  Options options;
  int i = 1;
  for (; i < argc; ++i) {
    const std::string_view flag = argv[i];
    if (flag == "--") {
      ++i;
      break;
    }
    if (flag == "--no-window") {
      options.no_window = true;
      continue;
    }
    if (i + 1 >= argc) return std::nullopt;
    const std::string_view value = argv[++i];
    bool valid = true;
    if (flag == "--dir") {
      options.dir = value;
    } else if (flag == "--size") {
      valid = ParseSize(value, options.width, options.height);
    } else if (flag == "--hold") {
      valid = ParseSeconds(value, options.hold_seconds);
    } else if (flag == "--idle") {
      valid = ParseSeconds(value, options.idle_seconds);
    } else if (flag == "--timeout") {
      valid = ParseSeconds(value, options.timeout_seconds);
    } else if (flag == "--log") {
      options.log = value;
    } else {
      valid = false;
    }
    if (!valid) return std::nullopt;
  }
  for (; i < argc; ++i) options.command.emplace_back(argv[i]);
  if (options.command.empty()) return std::nullopt;
  return options;
}

// fork and exec; the child gets the folder, no terminal input and the log as its output.
pid_t Launch(const Options& options) {
  const pid_t pid = fork();
  if (pid != 0) return pid;
  if (chdir(options.dir.c_str()) != 0) _exit(126);
  const int input = open("/dev/null", O_RDONLY);
  const int output = open(options.log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  if (input < 0 || output < 0) _exit(126);
  dup2(input, STDIN_FILENO);
  dup2(output, STDOUT_FILENO);
  dup2(output, STDERR_FILENO);
  std::vector<char*> arguments;
  for (const std::string& argument : options.command) {
    arguments.push_back(const_cast<char*>(argument.c_str()));
  }
  arguments.push_back(nullptr);
  execv(arguments[0], arguments.data());
  _exit(127);
}

// Asks the program to end as its user's session would, and makes sure it has ended.
void Stop(pid_t pid) {
  kill(pid, SIGTERM);
  for (int i = 0; i < 100; ++i) {
    if (waitpid(pid, nullptr, WNOHANG) == pid) return;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  kill(pid, SIGKILL);
  waitpid(pid, nullptr, 0);
}

bool Alive(pid_t pid) {
  siginfo_t info{};
  return waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) == 0 &&
         info.si_pid == 0;
}

void SleepSeconds(double seconds) {
  std::this_thread::sleep_for(std::chrono::duration<double>(seconds));
}

void Print(std::string_view key, double value) { std::cout << key << '=' << value << '\n'; }

// Peak and current memory after the hold.
bool ReportMemory(pid_t pid) {
  const auto peak = bench::StatusKilobytes(pid, "VmHWM");
  const auto resident = bench::StatusKilobytes(pid, "VmRSS");
  if (!peak || !resident) return false;
  Print("vmhwm_kb", static_cast<double>(*peak));
  Print("vmrss_kb", static_cast<double>(*resident));
  return true;
}

// Processor time used over the idle span, as a share of one core.
bool ReportIdleCpu(pid_t pid, double seconds) {
  const auto ticks_before = bench::CpuTicks(pid);
  const auto family_before = bench::CpuTicks(pid, true);
  const auto nanoseconds_before = bench::ProcessCpuNanoseconds(pid);
  const bench::Clock::time_point begin = bench::Clock::now();
  SleepSeconds(seconds);
  const auto ticks_after = bench::CpuTicks(pid);
  const auto family_after = bench::CpuTicks(pid, true);
  const auto nanoseconds_after = bench::ProcessCpuNanoseconds(pid);
  const double elapsed = std::chrono::duration<double>(bench::Clock::now() - begin).count();
  if (!ticks_before || !ticks_after || !family_before || !family_after || !nanoseconds_before ||
      !nanoseconds_after) {
    return false;
  }
  // The children's time is known only in ticks.
  const long long children_ticks =
      (*family_after - *family_before) - (*ticks_after - *ticks_before);
  const double own_seconds = static_cast<double>(*nanoseconds_after - *nanoseconds_before) / 1e9;
  const double children_seconds =
      static_cast<double>(children_ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
  Print("cpu_ticks", static_cast<double>(*ticks_after - *ticks_before));
  Print("idle_seconds", elapsed);
  Print("cpu_percent", 100.0 * own_seconds / elapsed);
  Print("cpu_percent_with_children", 100.0 * (own_seconds + children_seconds) / elapsed);
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  const std::optional<Options> options = ParseOptions(argc, argv);
  if (!options) {
    std::cerr << kUsage;
    return 2;
  }
  auto watch = std::make_unique<bench::FirstPaintWatch>();
  if (!watch->error().empty()) {
    std::cerr << "launch_probe: " << watch->error() << '\n';
    return 2;
  }

  const bench::Clock::time_point start = bench::Clock::now();
  const pid_t pid = Launch(*options);
  if (pid < 0) {
    std::cerr << "launch_probe: fork failed\n";
    return 2;
  }
  const auto limit =
      std::chrono::milliseconds(static_cast<long long>(options->timeout_seconds * 1000));
  std::optional<bench::FirstPaint> paint;
  if (options->no_window) {
    paint = bench::FirstPaint{};
  } else {
    paint = watch->Wait(pid, options->width, options->height, start, limit);
  }
  // The processor time it took to get there, which other load on the machine barely changes.
  const auto cpu_to_paint = bench::ProcessCpuNanoseconds(pid);
  const std::string failure = watch->error();
  // The program runs on unobserved from here.
  watch.reset();
  if (!paint) {
    std::cerr << "launch_probe: " << failure << '\n';
    Stop(pid);
    return 1;
  }
  if (!options->no_window) {
    Print("map_ms", paint->map_ms);
    Print("expose_ms", paint->expose_ms);
    Print("paint_ms", paint->paint_ms);
    if (cpu_to_paint) Print("paint_cpu_ms", static_cast<double>(*cpu_to_paint) / 1e6);
  }

  bool measured = true;
  if (options->hold_seconds > 0 || options->idle_seconds > 0) {
    SleepSeconds(options->hold_seconds);
    measured = Alive(pid) && ReportMemory(pid);
  }
  if (measured && options->idle_seconds > 0) {
    measured = ReportIdleCpu(pid, options->idle_seconds) && Alive(pid);
  }
  if (!measured) std::cerr << "launch_probe: the program ended while it was measured\n";
  Stop(pid);
  return measured ? 0 : 1;
}
