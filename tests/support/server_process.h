#pragma once

// lumetta-server as a process of its own for the tests that start the executable; those
// tests define LUMETTA_SERVER_EXECUTABLE, the path of the built program.

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <optional>
#include <regex>
#include <string>
#include <thread>
#include <vector>

extern char** environ;

namespace test_support {

using namespace std::chrono_literals;

// lumetta-server as its own process, its standard output on a pipe; with `and_errors`, its
// standard error on the same pipe.
class ServerProcess {
 public:
  explicit ServerProcess(std::vector<std::string> arguments, bool and_errors = false) {
    arguments.insert(arguments.begin(), LUMETTA_SERVER_EXECUTABLE);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
    if (and_errors) posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDERR_FILENO);
    posix_spawn_file_actions_addclose(&actions, pipe_ends[0]);
    if (posix_spawn(&pid_, argv[0], &actions, nullptr, argv.data(), environ) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_ends[1]);
    output_ = pipe_ends[0];
  }

  ~ServerProcess() {
    if (pid_ > 0 && !exit_status_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    if (output_ >= 0) ::close(output_);
  }

  // The next line of output, or nothing if none comes within the limit.
  std::optional<std::string> NextLine(std::chrono::seconds limit = 10s) {
    std::string text;
    const auto give_up = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < give_up) {
      pollfd watched{output_, POLLIN, 0};
      if (::poll(&watched, 1, 100) <= 0) continue;
      char byte;
      if (::read(output_, &byte, 1) != 1) return std::nullopt;
      if (byte == '\n') return text;
      text += byte;
    }
    return std::nullopt;
  }

  // "127.0.0.1:PORT" from the first line, or empty.
  std::string Host() {
    const std::optional<std::string> line = NextLine();
    std::smatch match;
    if (!line || !std::regex_match(*line, match, std::regex(R"(.* listening on (\S+))"))) return {};
    return match[1];
  }

  // The exit status once the process has ended within the limit.
  std::optional<int> WaitForExit(std::chrono::seconds limit = 10s) {
    const auto give_up = std::chrono::steady_clock::now() + limit;
    while (!exit_status_ && std::chrono::steady_clock::now() < give_up) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exit_status_ = status;
      } else {
        std::this_thread::sleep_for(20ms);
      }
    }
    return exit_status_;
  }

  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
  int output_ = -1;
  std::optional<int> exit_status_;
};

}  // namespace test_support
