#include "bench/proc_stats.h"

#include <charconv>
#include <filesystem>
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

std::optional<long long> CpuTicks(pid_t pid) {
  const auto stat = ReadFile(ProcPath(pid) + "/stat");
  if (!stat) return std::nullopt;
  // The command name in parentheses may hold blanks; the fields after its closing one do not.
  const size_t name_end = stat->rfind(')');
  if (name_end == std::string::npos) return std::nullopt;
  std::istringstream fields(stat->substr(name_end + 1));
  const std::vector<std::string> after_name{std::istream_iterator<std::string>(fields),
                                            std::istream_iterator<std::string>()};
  // Fields 14 and 15 (utime, stime), counted from the pid as field 1; field 3 comes first here.
  constexpr size_t kUserTime = 14 - 3;
  constexpr size_t kSystemTime = 15 - 3;
  if (after_name.size() <= kSystemTime) return std::nullopt;
  const auto user = ParseNumber<long long>(after_name[kUserTime]);
  const auto system = ParseNumber<long long>(after_name[kSystemTime]);
  if (!user || !system) return std::nullopt;
  return *user + *system;
}

std::optional<long long> LiveThreadsCpuNanoseconds(pid_t pid) {
  std::error_code failure;
  std::filesystem::directory_iterator tasks(ProcPath(pid) + "/task", failure);
  if (failure) return std::nullopt;
  long long total = 0;
  for (const auto& task : tasks) {
    // The first of the three numbers is the time spent on a processor.
    const auto schedstat = ReadFile(task.path().string() + "/schedstat");
    if (!schedstat) continue;  // the thread ended meanwhile
    const std::string_view text(*schedstat);
    const auto run_time = ParseNumber<long long>(text.substr(0, text.find(' ')));
    if (!run_time) return std::nullopt;
    total += *run_time;
  }
  return total;
}

}  // namespace bench
