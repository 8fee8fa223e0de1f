// lumetta-server --live as its own process, its sources replaced by loopback replicas that speak
// each source's format: what panels are served, which source is asked, and how often.

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "net/wire_paths.h"
#include "tests/support/raw_client.h"
#include "tests/support/server_process.h"
#include "tests/support/source_replica.h"
#include "tests/support/temp_folder.h"
#include "text/gbk.h"

namespace {

using namespace std::chrono_literals;
using test_support::ReplicaMode;
using test_support::ReplicaQuote;

struct Reply {
  long status = 0;
  std::string text;  // decoded from GBK
};

// The line of `code` in a quote list, without its CR LF; empty when there is none.
std::string LineOf(const std::string& list, const std::string& code) {
  const std::string start = code + ",";
  for (size_t at = 0; at < list.size();) {
    const size_t end = list.find("\r\n", at);
    if (end == std::string::npos) break;
    if (list.compare(at, start.size(), start) == 0) return list.substr(at, end - at);
    at = end + 2;
  }
  return {};
}

class LiveServerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(replica_.running());
    replica_.SetQuote(
        "sina", "hf_XAU",
        {"4412.60", "4412.50", "4412.95", "4441.07", "4362.46", "4371.82", "4368.00"});
    replica_.SetQuote("sina", "hf_XAG",
                      {"31.20", "31.18", "31.22", "31.50", "30.90", "31.00", "30.95"});
    replica_.SetQuote("sina", "hf_XPT", {"990.10", "989.90", "990.40", "", "", "", ""});
    replica_.SetQuote("sina", "hf_XPD", {"960.00", "959.50", "960.50", "", "", "", ""});
    replica_.SetQuote("sina", "gds_AU9999",
                      {"937.52", "938.50", "939.89", "943.00", "909.00", "912.60", "907.47"});
    replica_.SetQuote(
        "tencent", "hf_XAU",
        {"4400.10", "4400.00", "4400.30", "4420.00", "4390.00", "4395.00", "4398.00"});
    replica_.SetQuote("eastmoney", "118.AU9999",
                      {"902.01", "", "", "905.00", "899.00", "900.00", "899.00"});
    ReplicaQuote paper{"936.12", "", "", "940.00", "925.00", "930.00", "929.50"};
    paper.epoch = 1784728605;
    replica_.SetQuote("cngold", "JO_42760", paper);
    replica_.SetQuote("goldapi", "XAU", {"4390.20", "", "", "", "", "", ""});
    replica_.SetQuote("goldapi", "XAG", {"31.05", "", "", "", "", "", ""});
  }

  void StartServer(int timeout_seconds = 1) {
    const std::string file = folder_.File("live-sources.ini");
    test_support::WriteBytes(
        file, test_support::ReplicaSourcesFile(test_support::ReadBytes(LUMETTA_SHIPPED_SOURCES),
                                               replica_.Base(), timeout_seconds));
    server_.emplace(std::vector<std::string>{"--live", "--sources", file, "--port", "0"});
    host_ = server_->Host();
    ASSERT_FALSE(host_.empty());
  }

  Reply Get(std::string_view path, std::string_view query = {}) {
    lumetta_test::RawClient client;
    const lumetta_test::RawReply raw =
        client.Get("http://" + host_ + std::string(path) + std::string(query));
    return {raw.status, text::GbkToUtf8(raw.body)};
  }

  Reply Detail(const std::string& code) { return Get(wire::kQuoteDetailPath, "?code=" + code); }

  // The quote list once it has lines for all of `codes` (15 s at most; a request every 50 ms).
  std::string WaitForLines(const std::vector<std::string>& codes) {
    std::string list;
    for (int attempt = 0; attempt < 300; ++attempt) {
      list = Get(wire::kPricePath, "?Type=0&r=1").text;
      bool all = true;
      for (const std::string& code : codes) all = all && !LineOf(list, code).empty();
      if (all) return list;
      std::this_thread::sleep_for(50ms);
    }
    ADD_FAILURE() << "no lines for all codes in: " << list;
    return list;
  }

  test_support::SourceReplica replica_;
  test_support::TempFolder folder_;
  std::optional<test_support::ServerProcess> server_;
  std::string host_;
};

TEST_F(LiveServerTest, ServesEachProductFromItsFirstSourceBuyingAtTheBidSellingAtTheAsk) {
  StartServer();
  const std::string list = WaitForLines({"au", "rmb", "icbcrmbgold"});
  EXPECT_EQ(LineOf(list, "au"), "au,4412.50,4412.95");
  EXPECT_EQ(LineOf(list, "gold"), "gold,4412.50,4412.95");  // spot gold as its benchmark
  EXPECT_EQ(LineOf(list, "ag"), "ag,31.18,31.22");
  EXPECT_EQ(LineOf(list, "rmb"), "rmb,938.50,939.89");
  EXPECT_EQ(LineOf(list, "icbcrmbgold"), "icbcrmbgold,936.12,936.12");  // one price: both
  EXPECT_EQ(LineOf(list, "gt"), "");
  EXPECT_EQ(list.find("icbcrmbsilver"), std::string::npos);  // the replica has no quote for it

  // All of Sina's symbols in one request, with the Referer it wants (else it answers 403).
  const std::vector<std::string> sina = replica_.Targets("sina");
  ASSERT_FALSE(sina.empty());
  EXPECT_EQ(sina.front(), "/sina/list=gds_AU9999,hf_XAG,hf_XAU,hf_XPD,hf_XPT");
  // A fallback is asked only while the source before it fails.
  EXPECT_EQ(replica_.Requests("tencent"), 0);
  EXPECT_EQ(replica_.Requests("eastmoney"), 0);
  EXPECT_EQ(replica_.Requests("goldapi"), 0);
}

// The day's points in the live mode are the quotes served, at their own market time, with the
// source's open and previous close; a product without a quote has an empty day.
TEST_F(LiveServerTest, TheDayHoldsTheServedQuotesAtTheirMarketTime) {
  StartServer();
  WaitForLines({"au", "rmb", "icbcrmbgold"});
  const Reply au = Get(wire::kTrendPath, "?code=AU");
  EXPECT_EQ(au.status, 200);
  EXPECT_EQ(au.text,
            "code=au\r\nopen=4371.82\r\nprevious=4368.00\r\nzone=+08:00\r\n"
            "p=1781508601,4412.50\r\n");
  EXPECT_EQ(Get(wire::kTrendPath, "?code=gt").text, "code=gt\r\nzone=+08:00\r\n");
  EXPECT_EQ(Get(wire::kTrendPath, "?code=xau").status, 404);
}

TEST_F(LiveServerTest, DetailsNameTheSourceTheMarketTimeAndTheDaysFigures) {
  StartServer();
  WaitForLines({"au", "rmb", "icbcrmbgold"});
  const Reply au = Detail("au");
  EXPECT_EQ(au.status, 200);
  // 2026-06-15 15:30:01 in UTC+8.
  EXPECT_EQ(au.text,
            "code=au\r\nstatus=live\r\nsource=新浪财经\r\nsymbol=hf_XAU\r\nshown=bidask\r\n"
            "time=1781508601\r\nopen=4371.82\r\nprevious=4368.00\r\nhigh=4441.07\r\n"
            "low=4362.46\r\n");
  EXPECT_NE(Detail("RMB").text.find("code=rmb\r\nstatus=live\r\nsource=新浪财经\r\n"
                                    "symbol=gds_AU9999\r\nbenchmark=上海黄金交易所 Au99.99\r\n"),
            std::string::npos);
  EXPECT_EQ(Detail("icbcrmbgold").text,
            "code=icbcrmbgold\r\nstatus=live\r\nsource=金投网\r\nsymbol=JO_42760\r\nshown=last\r\n"
            "time=1784728605\r\nopen=930.00\r\nprevious=929.50\r\nhigh=940.00\r\nlow=925.00\r\n");
  EXPECT_EQ(Detail("gt").text, "code=gt\r\nstatus=nosource\r\n");
  EXPECT_EQ(Detail("icbcrmbsilver").text, "code=icbcrmbsilver\r\nstatus=waiting\r\n");
  EXPECT_EQ(Detail("xau").status, 404);
  EXPECT_EQ(Get(wire::kQuoteDetailPath).status, 404);
  EXPECT_EQ(Get(wire::kQuoteDetailPath, "?code=").status, 404);
}

TEST_F(LiveServerTest, HeadlineCreditsTheSourcesAndNothingSteersThePrices) {
  StartServer();
  const Reply news = Get(wire::kNewsPath, "?Type=0&r=1");
  EXPECT_EQ(news.status, 200);
  EXPECT_EQ(news.text.substr(0, news.text.find('|')),
            "行情来自公开来源：新浪财经、东方财富、腾讯财经、gold-api.com、金投网，仅供参考");
  EXPECT_EQ(news.text.find("模拟"), std::string::npos);
  EXPECT_EQ(Get(wire::kNewsPagePrefix, "1.html").status, 200);
  EXPECT_EQ(Get(wire::kDrivePath, "?code=au&buy=1.00").status, 404);
  const std::string list = WaitForLines({"au"});
  EXPECT_EQ(LineOf(list, "au"), "au,4412.50,4412.95");
}

class LiveFallbackTest : public LiveServerTest,
                         public ::testing::WithParamInterface<ReplicaMode> {};

TEST_P(LiveFallbackTest, NextSourceInTheChainTakesOver) {
  replica_.SetMode("sina", GetParam());
  const bool hangs = GetParam() == ReplicaMode::kHang;
  StartServer(hangs ? 5 : 1);
  if (hangs) {
    Get(wire::kPricePath);  // a panel asks: the server asks its sources
    ASSERT_TRUE(replica_.WaitForRequests("sina", 1));
    while (replica_.Held("sina") == 0) std::this_thread::sleep_for(1ms);
    // Panels are answered from what the server holds while a source keeps it waiting.
    EXPECT_EQ(Get(wire::kPricePath, "?Type=0&r=2").status, 200);
    EXPECT_EQ(Detail("au").text, "code=au\r\nstatus=waiting\r\n");
    EXPECT_EQ(replica_.Held("sina"), 1);
  }
  const std::string list = WaitForLines({"au", "rmb", "ag"});
  EXPECT_EQ(LineOf(list, "au"), "au,4400.00,4400.30");  // Tencent's
  EXPECT_EQ(LineOf(list, "ag"), "ag,31.05,31.05");      // Tencent has none: gold-api.com's
  EXPECT_EQ(LineOf(list, "rmb"), "rmb,902.01,902.01");  // East Money's last price
  EXPECT_NE(Detail("au").text.find("source=腾讯财经\r\nsymbol=hf_XAU\r\nshown=bidask\r\n"),
            std::string::npos);
  EXPECT_NE(Detail("rmb").text.find("source=东方财富\r\nsymbol=118.AU9999\r\n"), std::string::npos);
  // Tencent answers for gold: the third source of its chain is not asked.
  const std::vector<std::string> third = replica_.Targets("goldapi");
  EXPECT_EQ(std::count(third.begin(), third.end(), "/goldapi/price/XAU"), 0);
}

INSTANTIATE_TEST_SUITE_P(FirstSource, LiveFallbackTest,
                         ::testing::Values(ReplicaMode::kFail, ReplicaMode::kGarbage,
                                           ReplicaMode::kHang),
                         [](const ::testing::TestParamInfo<ReplicaMode>& info) {
                           switch (info.param) {
                             case ReplicaMode::kFail:
                               return "Fails";
                             case ReplicaMode::kGarbage:
                               return "AnswersGarbage";
                             case ReplicaMode::kHang:
                               return "Hangs";
                             case ReplicaMode::kNormal:
                               break;
                           }
                           return "Normal";
                         });

TEST_F(LiveServerTest, ManyPanelsShareOneRequestPerSourcePerInterval) {
  const auto started = std::chrono::steady_clock::now();
  StartServer();
  std::vector<std::thread> panels;
  panels.reserve(8);
  std::atomic<int> answered{0};
  for (int panel = 0; panel < 8; ++panel) {
    panels.emplace_back([&] {
      for (int request = 0; request < 25; ++request) {
        if (Get(request % 2 == 0 ? wire::kPricePath : wire::kQuoteDetailPath,
                request % 2 == 0 ? "?Type=0&r=1" : "?code=au")
                .status == 200) {
          ++answered;
        }
      }
    });
  }
  for (std::thread& panel : panels) panel.join();
  WaitForLines({"au", "icbcrmbgold"});
  EXPECT_EQ(answered, 200);
  // The bound follows from the server's pace (3 s at the shortest): a slow machine only raises
  // it, so the count, not the time, is what is checked.
  const auto elapsed = std::chrono::steady_clock::now() - started;
  const int allowed = static_cast<int>(elapsed / 3s) + 1;
  EXPECT_GE(replica_.Requests("sina"), 1);
  EXPECT_LE(replica_.Requests("sina"), allowed);
  EXPECT_GE(replica_.Requests("cngold"), 1);
  EXPECT_LE(replica_.Requests("cngold"), allowed);
  EXPECT_EQ(replica_.Requests("tencent"), 0);
}

struct BadFile {
  const char* name;
  std::string text;
  std::string said;  // after "lumetta-server: FILE"
};

void PrintTo(const BadFile& file, std::ostream* out) { *out << file.name; }

class LiveRefusalTest : public ::testing::TestWithParam<BadFile> {};

TEST_P(LiveRefusalTest, BadSourcesFileIsNamedByItsLineAndStopsTheServer) {
  const test_support::TempFolder folder;
  const std::string file = folder.File("sources.ini");
  if (!GetParam().text.empty()) test_support::WriteBytes(file, GetParam().text);
  test_support::ServerProcess process({"--live", "--sources", file, "--port", "0"}, true);
  std::string output;
  while (const std::optional<std::string> line = process.NextLine()) output += *line + "\n";
  EXPECT_EQ(output, "lumetta-server: " + file + GetParam().said + "\n");
  const std::optional<int> status = process.WaitForExit();
  ASSERT_TRUE(status);
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 2) << *status;
}

INSTANTIATE_TEST_SUITE_P(
    Files, LiveRefusalTest,
    ::testing::Values(
        BadFile{"UnknownKey", "# sources\n[source a]\ncolour = blue\n",
                ":3: unknown key in a source: colour"},
        BadFile{"PlainHttpElsewhere", "[source a]\nname = A\n\nurl = http://example.com/{codes}\n",
                ":4: url must be https:// (plain http:// only to 127.0.0.1, [::1] or localhost)"},
        BadFile{"Missing", "", ": not a readable file"}),
    [](const ::testing::TestParamInfo<BadFile>& info) { return info.param.name; });

TEST(LiveOptionsTest, SourcesWithoutLiveAndWalkOptionsWithLiveAreRefused) {
  const test_support::TempFolder folder;
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"--sources", folder.File("x.ini"), "--port", "0"},
        std::vector<std::string>{"--live", "--faults", "--port", "0"},
        std::vector<std::string>{"--live", "--seed", "3", "--port", "0"}}) {
    test_support::ServerProcess process(arguments, true);
    std::string output;
    while (const std::optional<std::string> line = process.NextLine()) output += *line + "\n";
    EXPECT_NE(output.find("usage: lumetta-server"), std::string::npos) << output;
    const std::optional<int> status = process.WaitForExit();
    ASSERT_TRUE(status);
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 2) << arguments[1];
  }
}

}  // namespace
