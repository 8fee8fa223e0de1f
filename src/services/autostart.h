#pragma once

// Start at login: the autostart entry that stands in for the Run value of the original
// platform. The entry `vomra.desktop` in the user's autostart folder starts the program at
// login; SetRegValue writes it, DeleteRegValue removes it.

#include <string>
#include <string_view>

namespace services {

inline constexpr std::string_view kAutostartName = "vomra";
inline constexpr std::string_view kProgramName = "Tessal";

// The program's full path: the folder, one separator unless it already ends in one, the name.
// Empty for an empty (unknown) folder.
std::string CommandPath(std::string_view program_dir);

// The entry's full text for a program at `command_path`; its Exec runs exactly that file,
// quoted and escaped so that spaces, quotes, backslashes, '$' and '`' in the path survive,
// and its TryExec names the same file, so that launchers skip the entry once the program is
// gone. Empty text when no entry can name the path for every launcher: an empty path, one that
// is not UTF-8, one holding a control character such as a line break, or a '%'.
std::string AutostartEntryText(std::string_view command_path);

}  // namespace services

namespace Code {

// The result of the latest SetRegValue or DeleteRegValue: 0 for success, else an errno value.
int RegLastResult();

// Writes the entry `name`.desktop into `autostart_dir` (created when missing) so that it starts
// `command_path`, through a temporary file renamed over the old entry; a symbolic link in the
// entry's place is itself replaced, never written through. A path the entry cannot name
// (AutostartEntryText is empty) writes nothing and gives EINVAL.
void SetRegValue(const std::string& autostart_dir, std::string_view name,
                 const std::string& command_path);

// Removes the entry `name`.desktop from `autostart_dir`; a missing entry counts as failure
// (ENOENT), as deleting a missing value does.
void DeleteRegValue(const std::string& autostart_dir, std::string_view name);

}  // namespace Code
