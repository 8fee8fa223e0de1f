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
// (sysconf(_SC_CLK_TCK) a second), from /proc/PID/stat.
std::optional<long long> CpuTicks(pid_t pid);

// The same sum from the scheduler's nanosecond counters of the threads alive now; finer than
// the ticks, but blind to threads that have ended.
std::optional<long long> LiveThreadsCpuNanoseconds(pid_t pid);

}  // namespace bench
