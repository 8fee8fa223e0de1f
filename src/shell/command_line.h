#pragma once

// The program's command line: `--server HOST[:PORT]` chooses the quote server for this run,
// `--help` and `--version` answer and end. Nothing else is accepted.

#include <optional>
#include <string>

namespace shell {

// Before the application exists: answers --help and --version and ends the process, so that
// both work in a terminal without a display. Returns when neither was asked for.
void AnswerInformationRequests(int argc, char* argv[], const std::string& default_host);

// After the application has taken its own options (-platform and the like): the quote server
// to talk to, `default_host` unless --server names another. A command line that is not
// understood is reported on the standard error and gives nothing; the program then ends with
// status 1. --help and --version were answered before.
std::optional<std::string> ReadServerHost(const std::string& default_host);

}  // namespace shell
