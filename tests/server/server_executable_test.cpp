#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
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

#include "net/http_request.h"
#include "net/wire_paths.h"
#include "tests/support/local_server.h"
#include "tests/support/server_process.h"

namespace lumetta_test {
namespace {

using Clock = std::chrono::steady_clock;

using test_support::ServerProcess;

bool SaysQuotesAreSimulated(const std::string& text) {
  return text.find("simulated") != std::string::npos &&
         text.find("not market prices") != std::string::npos;
}

TEST(ServerExecutableTest, HelpSaysTheQuotesAreSimulated) {
  ServerProcess process({"--help"});
  std::string help;
  while (const std::optional<std::string> line = process.NextLine()) help += *line + '\n';
  EXPECT_TRUE(SaysQuotesAreSimulated(help)) << help;
  EXPECT_NE(help.find("usage: lumetta-server"), std::string::npos) << help;
  const std::optional<int> status = process.WaitForExit();
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}

TEST(ServerExecutableTest, ServesUntilAStopSignalThenExitsCleanly) {
  for (const int stop_signal : {SIGTERM, SIGINT}) {
    ServerProcess process({"--port", "0", "--seed", "11", "--offer-update", "mandatory", "--log"});
    ASSERT_GT(process.pid(), 0);
    const std::optional<std::string> line = process.NextLine(std::chrono::seconds(10));
    ASSERT_TRUE(line);
    std::smatch match;
    ASSERT_TRUE(std::regex_match(
        *line, match, std::regex(R"(lumetta-server \((.*)\) listening on 127\.0\.0\.1:(\d+))")))
        << *line;
    EXPECT_TRUE(SaysQuotesAreSimulated(match[1].str())) << *line;
    const std::string host = "127.0.0.1:" + match[2].str();
    const std::string quotes_target = std::string(wire::kPricePath) + "?Type=0&r=1";
    const std::string version_target = std::string(wire::kVersionPath) + "?r=1";
    EXPECT_EQ(WidgetGet(ServerUrl(host, quotes_target)).substr(0, 4), "rmb,");
    EXPECT_EQ(WidgetGet(ServerUrl(host, version_target)).substr(0, 11), "1.1\r\nTrue\r\n");
    // --log reports each request as it is served.
    EXPECT_EQ(process.NextLine(std::chrono::seconds(10)), "GET " + quotes_target);
    EXPECT_EQ(process.NextLine(std::chrono::seconds(10)), "GET " + version_target);

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

// What a systemd socket unit does: the socket is made and held by another process and handed
// over as fd 3. It is served, and once the server has ended for lack of requests it must still
// listen, for the unit to start the server again on the next connection.
TEST(ServerExecutableTest, ServesAHandedOverSocketAndLeavesItListeningWhenIdle) {
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t size = sizeof address;
  ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), size), 0);
  ASSERT_EQ(::listen(listener, 8), 0);
  ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size), 0);
  const std::string host = "127.0.0.1:" + std::to_string(ntohs(address.sin_port));

  const pid_t pid = ::fork();
  if (pid == 0) {
    if (listener != 3) ::dup2(listener, 3);
    ::setenv("LISTEN_FDS", "1", 1);
    ::setenv("LISTEN_PID", std::to_string(::getpid()).c_str(), 1);
    ::execl(LUMETTA_SERVER_EXECUTABLE, LUMETTA_SERVER_EXECUTABLE, "--idle-exit", "1", nullptr);
    ::_exit(127);
  }
  ASSERT_GT(pid, 0);
  const std::string quotes = Code::HttpRequest(ServerUrl(host, wire::kPricePath, "?Type=0"), false,
                                               "GET", "", "", "", "", false, "gb2312");
  EXPECT_NE(quotes.find("\r\nicbcrmbgold,"), std::string::npos) << quotes;

  int status = -1;
  const auto give_up = Clock::now() + 20s;
  while (::waitpid(pid, &status, WNOHANG) != pid && Clock::now() < give_up) {
    std::this_thread::sleep_for(20ms);
  }
  ASSERT_TRUE(WIFEXITED(status)) << "still running after its idle time";
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const int client = ::socket(AF_INET, SOCK_STREAM, 0);
  EXPECT_EQ(::connect(client, reinterpret_cast<sockaddr*>(&address), sizeof address), 0)
      << "the handed-over socket no longer listens";
  ::close(client);
  ::close(listener);
}

}  // namespace
}  // namespace lumetta_test
