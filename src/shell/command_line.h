#pragma once

// The program's command line: `--server HOST[:PORT]` chooses the quote server for this run,
// `--help` and `--version` answer and end. Besides the toolkit's own options (-platform and
// the like), nothing else is accepted.

#include <optional>
#include <string>

namespace shell {

// Before the application exists, so that it works in a terminal without a display and an
// error never reaches the window system: answers --help and --version and ends the process;
// otherwise the quote server to talk to, `default_host` unless --server names another. A
// command line that is not understood is reported in one line on the standard error and gives
// nothing; the program then ends with status 1.
std::optional<std::string> ReadCommandLine(int argc, char* argv[], const std::string& default_host);

}  // namespace shell
