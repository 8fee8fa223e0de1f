#pragma once

// What the kernel reports about a running process: its memory high-water mark and the
// processor time it has used.

#include <sys/types.h>

#include <optional>
#include <string_view>

namespace bench {

// A "Vm..." line of /proc/PID/status in kilobytes, e.g. StatusKilobytes(pid, "VmHWM").
std::optional<long> StatusKilobytes(pid_t pid, std::string_view key);

// User plus system time of the whole process (threads that ended included), in clock ticks
// (sysconf(_SC_CLK_TCK) a second), from /proc/PID/stat; with `children`, also that of the
// children it has waited for (a peer that runs curl for every fetch).
std::optional<long long> CpuTicks(pid_t pid, bool children = false);

// The processor time of the whole process in nanoseconds, from its CPU-time clock: every
// thread, those that have ended included, at the scheduler's precision rather than in ticks.
std::optional<long long> ProcessCpuNanoseconds(pid_t pid);

}  // namespace bench
