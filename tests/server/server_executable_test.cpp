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
