#pragma once

// The folder the running program was started from, as the bytes the file system holds: a
// folder name need not be valid UTF-8, and decoding it as text would lose it.

#include <string>
#include <string_view>

namespace settings {

// The folder part of `file_path`: everything before its last separator, "/" for a file in the
// root, empty for a name without one.
std::string FolderOf(std::string_view file_path);

// The folder of the executable that `exe_link` (the kernel's link to it) names; empty when the
// link cannot be read.
std::string RunningProgramFolder(const std::string& exe_link = "/proc/self/exe");

}  // namespace settings
