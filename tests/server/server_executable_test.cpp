#include <gtest/gtest.h>
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

#include "tests/support/local_server.h"

extern char** environ;

namespace lumetta_test {
namespace {

using Clock = std::chrono::steady_clock;

// lumetta-server as its own process, its standard output on a pipe.
class ServerProcess {
 public:
  explicit ServerProcess(std::vector<std::string> arguments) {
    arguments.insert(arguments.begin(), LUMETTA_SERVER_EXECUTABLE);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    int pipe_ends[2];
    if (::pipe(pipe_ends) != 0) return;
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_ends[1], STDOUT_FILENO);
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
  std::optional<std::string> NextLine(std::chrono::seconds limit) {
    std::string text;
    const auto give_up = Clock::now() + limit;
    while (Clock::now() < give_up) {
      pollfd watched{output_, POLLIN, 0};
      if (::poll(&watched, 1, 100) <= 0) continue;
      char byte;
      if (::read(output_, &byte, 1) != 1) return std::nullopt;
      if (byte == '\n') return text;
      text += byte;
    }
    return std::nullopt;
  }

  // The exit status once the process has ended within the limit.
  std::optional<int> WaitForExit(std::chrono::seconds limit) {
    const auto give_up = Clock::now() + limit;
    while (!exit_status_ && Clock::now() < give_up) {
      int status = 0;
      if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        exit_status_ = status;
      } else {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
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

TEST(ServerExecutableTest, ServesUntilAStopSignalThenExitsCleanly) {
  for (const int stop_signal : {SIGTERM, SIGINT}) {
    ServerProcess process({"--port", "0", "--seed", "11", "--offer-update", "mandatory", "--log"});
    ASSERT_GT(process.pid(), 0);
    const std::optional<std::string> line = process.NextLine(std::chrono::seconds(10));
    ASSERT_TRUE(line);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(*line, match,
                                 std::regex(R"(lumetta-server listening on 127\.0\.0\.1:(\d+))")))
        << *line;
    const std::string host = "127.0.0.1:" + match[1].str();
    EXPECT_EQ(WidgetGet("http://" + host + "/Soft/Price.asp?Type=0&r=1").substr(0, 4), "rmb,");
    EXPECT_EQ(WidgetGet("http://" + host + "/Soft/Version.asp?r=1").substr(0, 11),
              "1.1\r\nTrue\r\n");
    // --log reports each request as it is served.
    EXPECT_EQ(process.NextLine(std::chrono::seconds(10)), "GET /Soft/Price.asp?Type=0&r=1");
    EXPECT_EQ(process.NextLine(std::chrono::seconds(10)), "GET /Soft/Version.asp?r=1");

    ASSERT_EQ(::kill(process.pid(), stop_signal), 0);
    const std::optional<int> status = process.WaitForExit(std::chrono::seconds(10));
    ASSERT_TRUE(status) << "still running after signal " << stop_signal;
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << "signal " << stop_signal;
  }
}

TEST(ServerExecutableTest, RefusesUnknownOptionsAndATakenPort) {
  ServerProcess unknown({"--colour", "blue"});
  const std::optional<int> refused = unknown.WaitForExit(std::chrono::seconds(10));
  ASSERT_TRUE(refused);
  EXPECT_TRUE(WIFEXITED(*refused) && WEXITSTATUS(*refused) == 2);

  lumetta_server::QuoteServer holder;
  ASSERT_TRUE(holder.Start());
  ServerProcess clash({"--port", std::to_string(holder.port())});
  const std::optional<int> status = clash.WaitForExit(std::chrono::seconds(10));
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 1);
}

}  // namespace
}  // namespace lumetta_test
