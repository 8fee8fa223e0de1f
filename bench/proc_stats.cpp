#include "bench/proc_stats.h"

#include <time.h>

#include <charconv>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace bench {
namespace {

std::optional<std::string> ReadFile(const std::string& path) {
  std::ifstream file(path);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

template <typename Number>
std::optional<Number> ParseNumber(std::string_view text) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size()) return std::nullopt;
  return value;
}

std::string ProcPath(pid_t pid) { return "/proc/" + std::to_string(pid); }

}  // namespace

std::optional<long> StatusKilobytes(pid_t pid, std::string_view key) {
  const auto status = ReadFile(ProcPath(pid) + "/status");
  if (!status) return std::nullopt;
  std::istringstream lines(*status);
  std::string name, value, unit;
  for (std::string line; std::getline(lines, line);) {
    std::istringstream fields(line);
    if (!(fields >> name >> value >> unit)) continue;
    if (name.size() == key.size() + 1 && name.starts_with(key) && name.back() == ':' &&
        unit == "kB") {
      return ParseNumber<long>(value);
    }
  }
  return std::nullopt;
}

std::optional<long long> CpuTicks(pid_t pid, bool children) {
  const auto stat = ReadFile(ProcPath(pid) + "/stat");
  if (!stat) return std::nullopt;
  // The command name in parentheses may hold blanks; the fields after its closing one do not.
  const size_t name_end = stat->rfind(')');
  if (name_end == std::string::npos) return std::nullopt;
  std::istringstream fields(stat->substr(name_end + 1));
  const std::vector<std::string> after_name{std::istream_iterator<std::string>(fields),
                                            std::istream_iterator<std::string>()};
  // Fields 14 to 17 (utime, stime, cutime, cstime), counted from the pid as field 1; field 3
  // comes first here.
  constexpr size_t kUserTime = 14 - 3;
  const size_t last = kUserTime + (children ? 3 : 1);
  if (after_name.size() <= last) return std::nullopt;
  long long total = 0;
  for (size_t field = kUserTime; field <= last; ++field) {
    const auto ticks = ParseNumber<long long>(after_name[field]);
    if (!ticks) return std::nullopt;
    total += *ticks;
  }
  return total;
}

std::optional<long long> ProcessCpuNanoseconds(pid_t pid) {
  clockid_t clock = 0;
  timespec now{};
  if (clock_getcpuclockid(pid, &clock) != 0 || clock_gettime(clock, &now) != 0) return std::nullopt;
  return static_cast<long long>(now.tv_sec) * 1'000'000'000 + now.tv_nsec;
}

}  // namespace bench
