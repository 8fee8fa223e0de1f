#include "quotes/quote_detail.h"

#include <gtest/gtest.h>

#include <cctype>
#include <ostream>
#include <string>

namespace quotes {
namespace {

// A test name made of the case's description.
const auto kCaseName = [](const auto& info) {
  std::string name;
  for (const char c : std::string(info.param.what)) {
    name += std::isalnum(static_cast<unsigned char>(c)) != 0 ? c : '_';
  }
  return name;
};

constexpr const char* kFullReply =
    "code=au\r\nstatus=live\r\nsource=新浪财经\r\nsymbol=hf_XAU\r\nshown=bidask\r\n"
    "time=1781510401\r\nopen=912.60\r\nprevious=907.47\r\nhigh=943.00\r\nlow=909.00\r\n";

TEST(ParseQuoteDetailTest, ReadsEveryFieldOfAFullReply) {
  const std::optional<QuoteDetail> detail = ParseQuoteDetail(kFullReply, "au");
  ASSERT_TRUE(detail.has_value());
  EXPECT_EQ(detail->code, "au");
  EXPECT_EQ(detail->status, SourceStatus::kLive);
  EXPECT_EQ(detail->source, "新浪财经");
  EXPECT_EQ(detail->symbol, "hf_XAU");
  EXPECT_EQ(detail->benchmark, "");
  EXPECT_EQ(detail->shown, ShownPrices::kBidAsk);
  EXPECT_EQ(detail->market_time, 1781510401);
  EXPECT_EQ(detail->open, 912.60);
  EXPECT_EQ(detail->previous, 907.47);
  EXPECT_EQ(detail->high, 943.0);
  EXPECT_EQ(detail->low, 909.0);
}

struct Accepted {
  const char* what;
  std::string reply;
  const char* asked;
  SourceStatus status;
  std::optional<std::int64_t> time;

  friend void PrintTo(const Accepted& c, std::ostream* out) { *out << c.what; }
};

class AcceptedDetailTest : public ::testing::TestWithParam<Accepted> {};

TEST_P(AcceptedDetailTest, Accepted) {
  const Accepted& c = GetParam();
  const std::optional<QuoteDetail> detail = ParseQuoteDetail(c.reply, c.asked);
  ASSERT_TRUE(detail.has_value());
  EXPECT_EQ(detail->status, c.status);
  EXPECT_EQ(detail->market_time, c.time);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, AcceptedDetailTest,
    ::testing::Values(
        Accepted{"bare LF lines", "code=gt\nstatus=nosource\n", "gt", SourceStatus::kNoSource,
                 std::nullopt},
        Accepted{"no line end at the last line", "code=rmb\r\nstatus=waiting", "rmb",
                 SourceStatus::kWaiting, std::nullopt},
        Accepted{"code in another letter case", "code=AU\r\nstatus=live\r\ntime=5\r\n", "au",
                 SourceStatus::kLive, 5},
        Accepted{"keys in another order, unknown keys and blank lines skipped",
                 "status=live\r\n\r\nvolume=12\r\nfuture key=x=y\r\ncode=au\r\ntime=0\r\n", "au",
                 SourceStatus::kLive, 0},
        Accepted{"the latest time taken", "code=au\nstatus=live\ntime=253402300799\n", "au",
                 SourceStatus::kLive, 253402300799},
        Accepted{"exactly 4 KiB", "code=au\nstatus=live\nx=" + std::string(4096 - 23, 'a') + "\n",
                 "au", SourceStatus::kLive, std::nullopt}),
    kCaseName);

struct Refused {
  const char* what;
  std::string reply;

  friend void PrintTo(const Refused& c, std::ostream* out) { *out << c.what; }
};

class RefusedDetailTest : public ::testing::TestWithParam<Refused> {};

// Each reply differs from an accepted one in one point only.
TEST_P(RefusedDetailTest, RefusedWhole) {
  EXPECT_FALSE(ParseQuoteDetail(GetParam().reply, "au").has_value()) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Cases, RefusedDetailTest,
    ::testing::Values(
        Refused{"another product's", "code=ag\r\nstatus=live\r\n"},
        Refused{"a longer code", "code=aux\r\nstatus=live\r\n"},
        Refused{"no code", "status=live\r\n"}, Refused{"no status", "code=au\r\n"},
        Refused{"unknown status", "code=au\r\nstatus=Live\r\n"},
        Refused{"empty status", "code=au\r\nstatus=\r\n"},
        Refused{"unknown shown", "code=au\r\nstatus=live\r\nshown=mid\r\n"},
        Refused{"duplicate known key", "code=au\r\nstatus=live\r\nstatus=live\r\n"},
        Refused{"duplicate unknown key", "code=au\r\nstatus=live\r\nx=1\r\nx=1\r\n"},
        Refused{"line without =", "code=au\r\nstatus=live\r\nopen 912.60\r\n"},
        Refused{"empty key", "code=au\r\nstatus=live\r\n=1\r\n"},
        Refused{"price with a sign", "code=au\r\nstatus=live\r\nopen=-1.00\r\n"},
        Refused{"price with a blank", "code=au\r\nstatus=live\r\nhigh= 1.00\r\n"},
        Refused{"price ending in a dot", "code=au\r\nstatus=live\r\nlow=1.\r\n"},
        Refused{"price starting with a dot", "code=au\r\nstatus=live\r\nprevious=.5\r\n"},
        Refused{"price with two dots", "code=au\r\nstatus=live\r\nopen=1.0.0\r\n"},
        Refused{"price with a comma", "code=au\r\nstatus=live\r\nopen=1,00\r\n"},
        Refused{"empty price", "code=au\r\nstatus=live\r\nopen=\r\n"},
        Refused{"time with a fraction", "code=au\r\nstatus=live\r\ntime=1781510401.5\r\n"},
        Refused{"time in hex", "code=au\r\nstatus=live\r\ntime=0x10\r\n"},
        Refused{"negative time", "code=au\r\nstatus=live\r\ntime=-1\r\n"},
        Refused{"time past the last date", "code=au\r\nstatus=live\r\ntime=253402300800\r\n"},
        Refused{"time past 64 bits", "code=au\r\nstatus=live\r\ntime=99999999999999999999\r\n"},
        Refused{"empty time", "code=au\r\nstatus=live\r\ntime=\r\n"},
        Refused{"control character in a value", "code=au\r\nstatus=live\r\nsource=a\tb\r\n"},
        Refused{"lone CR inside a line", "code=au\r\nstatus=live\r\nsource=a\rb\r\n"},
        Refused{"broken UTF-8", "code=au\r\nstatus=live\r\nsource=\xE6\x96\r\n"},
        Refused{"one byte over 4 KiB",
                "code=au\nstatus=live\nx=" + std::string(4096 - 22, 'a') + "\n"},
        Refused{"empty reply", ""}),
    kCaseName);

TEST(DetailTipTest, SourceLineNamesTheSourceItsCodeAndHowThePricesWereMade) {
  QuoteDetail detail;
  detail.status = SourceStatus::kLive;
  EXPECT_EQ(SourceTipLine(detail), "");
  detail.source = "新浪财经";
  EXPECT_EQ(SourceTipLine(detail), "来源 新浪财经");
  detail.symbol = "hf_XAU";
  EXPECT_EQ(SourceTipLine(detail), "来源 新浪财经 hf_XAU");
  detail.shown = ShownPrices::kBidAsk;
  EXPECT_EQ(SourceTipLine(detail), "来源 新浪财经 hf_XAU");
  detail.shown = ShownPrices::kLast;
  EXPECT_EQ(SourceTipLine(detail), "来源 新浪财经 hf_XAU 买卖均为最新价");
  detail.symbol = "gds_AU9999";
  detail.benchmark = "上海黄金交易所 Au99.99";
  detail.shown = ShownPrices::kBidAsk;
  EXPECT_EQ(SourceTipLine(detail), "来源 新浪财经 gds_AU9999（以上海黄金交易所 Au99.99为准）");

  EXPECT_EQ(NoSourceTipLine("香港黄金"), "行情服务器没有香港黄金的行情源");
}

}  // namespace
}  // namespace quotes
