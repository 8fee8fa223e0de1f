// Property tests over generated replies: whatever the server sends, the quote rules never
// crash and keep their invariants. Fixed seeds keep every run the same.
#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <string_view>

#include "quotes/catalogue.h"
#include "quotes/quote_reply.h"
#include "text/ascii_case.h"

namespace quotes {
namespace {

// Random bytes, weighted towards the characters the rules split on.
std::string RandomBytes(std::mt19937& rng) {
  static constexpr std::array<char, 8> kSpecial = {'\r', '\n', ',', '|', 'r', 'm', 'b', '.'};
  std::uniform_int_distribution<int> length(0, 120);
  std::uniform_int_distribution<int> pick(0, 3);
  std::uniform_int_distribution<int> byte(0, 255);
  std::uniform_int_distribution<int> special(0, kSpecial.size() - 1);
  std::string text;
  for (int n = length(rng); n > 0; --n) {
    text += pick(rng) == 0 ? static_cast<char>(byte(rng)) : kSpecial[special(rng)];
  }
  return text;
}

// Replies built from plausible and broken lines.
std::string RandomReply(std::mt19937& rng) {
  static constexpr std::array<std::string_view, 12> kLines = {"rmb,270.50,271.10",
                                                              "RMB,270.6,271.2",
                                                              "gold,1290.1,1291",
                                                              "rmb,abc,1",
                                                              "rmb,1,2,3",
                                                              "rmb,1",
                                                              "",
                                                              "no comma",
                                                              "Rmb,-3,x",
                                                              "ag,5.5,5.6",
                                                              "rmb,,",
                                                              "rmb,1e3,\r"};
  static constexpr std::array<std::string_view, 4> kEnds = {"\r\n", "\r\n", "\n", ""};
  std::uniform_int_distribution<int> count(0, 6);
  std::uniform_int_distribution<int> line(0, kLines.size() - 1);
  std::uniform_int_distribution<int> end(0, kEnds.size() - 1);
  std::string reply;
  for (int n = count(rng); n > 0; --n) {
    reply += kLines[line(rng)];
    reply += kEnds[end(rng)];
  }
  return reply;
}

std::string RandomRecord(std::mt19937& rng) {
  static constexpr std::array<std::string_view, 7> kRecords = {
      "", "rmb|270.50|271.10", "RMB|300|1", "gold|1|2", "rmb|x|1", "rmb|1", "rmb|1|2|3"};
  std::uniform_int_distribution<int> pick(0, kRecords.size() - 1);
  return std::string(kRecords[pick(rng)]);
}

// Invariants every result must keep.
void CheckInvariants(std::string_view reply, std::string_view selected,
                     const std::optional<QuoteUpdate>& update) {
  if (reply.find("\r\n") == std::string_view::npos) {
    EXPECT_FALSE(update.has_value());
  }
  if (!update) return;
  EXPECT_EQ(update->trend.has_value(), update->tooltip.has_value());
  // The record starts with the product's code in some letter case, then "|".
  ASSERT_GT(update->record.size(), selected.size());
  EXPECT_EQ(text::AsciiLower(update->record.substr(0, selected.size())),
            text::AsciiLower(selected));
  EXPECT_EQ(update->record[selected.size()], '|');
  // The caption shows the recorded prices.
  const std::string rest = update->record.substr(selected.size() + 1);
  // A price may itself hold "|", so any split of the rest into buy|sell will do.
  bool shown = false;
  for (std::size_t bar = rest.find('|'); bar != std::string::npos; bar = rest.find('|', bar + 1)) {
    shown =
        shown || update->caption == "买入:" + rest.substr(0, bar) + " 卖出:" + rest.substr(bar + 1);
  }
  EXPECT_TRUE(shown) << update->caption << " for " << update->record;
}

TEST(ApplyQuoteReplyPropertyTest, RandomBytesNeverBreakTheRules) {
  std::mt19937 rng(20240611);
  for (int i = 0; i < 5000; ++i) {
    const std::string reply = RandomBytes(rng);
    const std::string previous = RandomBytes(rng);
    SCOPED_TRACE(testing::PrintToString(reply));
    const auto update = ApplyQuoteReply(reply, "rmb", previous, "Zentrova人民币黄金");
    CheckInvariants(reply, "rmb", update);
  }
}

TEST(ApplyQuoteReplyPropertyTest, GeneratedRepliesKeepTheirInvariants) {
  std::mt19937 rng(7);
  int with_trend = 0;
  for (int i = 0; i < 5000; ++i) {
    const std::string reply = RandomReply(rng);
    const std::string previous = RandomRecord(rng);
    SCOPED_TRACE(testing::PrintToString(reply) + " after " + previous);
    const auto update = ApplyQuoteReply(reply, "rmb", previous, "n");
    CheckInvariants(reply, "rmb", update);
    if (update && update->trend) ++with_trend;

    // The letter case of the selected code does not matter.
    EXPECT_EQ(ApplyQuoteReply(reply, "RMB", previous, "n"), update);

    // Lines of other products in front change nothing (a reply without CRLF would become
    // a line of its own).
    if (reply.find("\r\n") != std::string::npos) {
      EXPECT_EQ(ApplyQuoteReply("gold,1,2\r\nag,3,4\r\n" + reply, "rmb", previous, "n"), update);
    }

    // Anything after an empty line is never read.
    if (reply.size() >= 2 && reply.ends_with("\r\n")) {
      EXPECT_EQ(ApplyQuoteReply(reply + "\r\nrmb,9,9\r\n", "rmb", previous, "n"), update);
    }
  }
  // The generator really reaches the comparison, or the checks above prove little.
  EXPECT_GT(with_trend, 250);
}

}  // namespace
}  // namespace quotes
