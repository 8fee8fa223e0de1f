#include "shell/command_line.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace {

constexpr char kDefaultHost[] = "127.0.0.1:8750";

using shell::CommandLine;

struct Line {
  std::vector<std::string> arguments;  // after the program's name
  std::optional<CommandLine> read;     // nullopt where the line is refused
};

void PrintTo(const Line& line, std::ostream* os) {
  for (const std::string& argument : line.arguments) *os << " '" << argument << "'";
}

// Set while a line is read. --help and --version end the process with status 0, which must not
// pass for a line that a fault took for one of them.
bool reading = false;

void FailIfEndedWhileReading() {
  if (reading) std::_Exit(1);
}

class CommandLineTest : public ::testing::TestWithParam<Line> {
 protected:
  static void SetUpTestSuite() { std::atexit(FailIfEndedWhileReading); }
};

// The toolkit's own single-dash options are left for it; --server takes a host and at most a
// port, --toggle no value. Anything else is refused in one line on the standard error that
// names what was wrong.
TEST_P(CommandLineTest, GivesTheServerAndTheToggleOrOneLineOfComplaint) {
  std::vector<std::string> words{"Tessal"};
  words.insert(words.end(), GetParam().arguments.begin(), GetParam().arguments.end());
  std::vector<char*> argv;
  argv.reserve(words.size());
  for (std::string& word : words) argv.push_back(word.data());
  ::testing::internal::CaptureStderr();
  reading = true;
  const std::optional<CommandLine> read =
      shell::ReadCommandLine(static_cast<int>(argv.size()), argv.data(), kDefaultHost);
  reading = false;
  const std::string complaint = ::testing::internal::GetCapturedStderr();
  EXPECT_EQ(read, GetParam().read);
  if (read) {
    EXPECT_EQ(complaint, "");
  } else {
    EXPECT_EQ(std::count(complaint.begin(), complaint.end(), '\n'), 1) << complaint;
    std::string wrong = words.back();
    wrong.erase(0, wrong.find_first_not_of('-'));
    EXPECT_NE(complaint.find(wrong), std::string::npos) << complaint;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Accepted, CommandLineTest,
    ::testing::Values(Line{{}, CommandLine{kDefaultHost}},
                      Line{{"-platform", "xcb"}, CommandLine{kDefaultHost}},
                      Line{{"-display", ":1", "-style", "Fusion", "-reverse"},
                           CommandLine{kDefaultHost}},
                      Line{{"-platform", "xcb", "--server", "quotes.example.net"},
                           CommandLine{"quotes.example.net"}},
                      Line{{"--server=[::1]:9000"}, CommandLine{"[::1]:9000"}},
                      Line{{"--toggle"}, CommandLine{kDefaultHost, true}},
                      Line{{"-platform", "xcb", "--toggle", "--server", "quotes.example.net"},
                           CommandLine{"quotes.example.net", true}}));

INSTANTIATE_TEST_SUITE_P(Refused, CommandLineTest,
                         ::testing::Values(Line{{"--server"}, {}}, Line{{"--server", ""}, {}},
                                           Line{{"--server", ":8750"}, {}},
                                           Line{{"--server", "127.0.0.1:8750/Soft"}, {}},
                                           Line{{"--server", "me@127.0.0.1"}, {}},
                                           Line{{"--bogus"}, {}}, Line{{"extra"}, {}}));

}  // namespace
