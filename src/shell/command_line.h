#pragma once

// The program's command line: `--server HOST[:PORT]` chooses the quote server for this run,
// `--toggle` hides the running panel or shows it again, `--help` and `--version` answer and
// end. Besides the toolkit's own options (-platform and the like), nothing else is accepted.

#include <optional>
#include <string>

namespace shell {

struct CommandLine {
  std::string server_host;  // host[:port] of the quote server
  // Out of sight or back at once: the running panel is asked to hide when shown and to show
  // when hidden. With none running, this start is a plain one.
  bool toggle = false;

  friend bool operator==(const CommandLine&, const CommandLine&) = default;
};

// Before the application exists, so that it works in a terminal without a display and an
// error never reaches the window system: answers --help and --version and ends the process;
// otherwise what this start is asked for, talking to `default_host` unless --server names
// another. A command line that is not understood is reported in one line on the standard error
// and gives nothing; the program then ends with status 1.
std::optional<CommandLine> ReadCommandLine(int argc, char* argv[], const std::string& default_host);

}  // namespace shell
