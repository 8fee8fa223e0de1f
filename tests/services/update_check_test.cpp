#include "services/update_check.h"

#include <gtest/gtest.h>

#include <cstddef>
#include <optional>
#include <ostream>
#include <string>

namespace {

using services::DecideUpdate;
using services::UpdateMessage;

const std::string kFailure = "服务器连接失败,检测更新失败!";
const std::string kLatest = "您的软件已经最新版本!";
const std::string kDownload = "http://example.test/Soft/Tessal2.zip";

std::string Record(const std::string& version, const std::string& flag = "False",
                   const std::string& date = "2024-05-01",
                   const std::string& features = "新增白银报价",
                   const std::string& address = kDownload) {
  return version + "\r\n" + flag + "\r\n" + date + "\r\n" + features + "\r\n" + address;
}

std::string ExpectedPrompt(const std::string& version, const std::string& date,
                           const std::string& features) {
  // Ten lines, the odd ones empty, and no CR LF after the last.
  std::string text = "\r\n   您当前的软件有最新版本!              \r\n";
  text += "\r\n   版本号:v" + version + "\r\n";
  text += "\r\n   发布日期:" + date + "\r\n";
  text += "\r\n   软件特性:" + features + "\r\n";
  text += "\r\n   您是否下载新版本软件?";
  return text;
}

std::string Repeat(const std::string& piece, std::size_t times) {
  std::string text;
  for (std::size_t i = 0; i < times; ++i) text += piece;
  return text;
}

void ExpectFailure(const std::string& record) {
  const std::optional<UpdateMessage> asked = DecideUpdate(record, true);
  ASSERT_TRUE(asked.has_value());
  EXPECT_EQ(asked->text, kFailure);
  EXPECT_EQ(asked->title, "提示");
  EXPECT_FALSE(asked->with_cancel);
  EXPECT_FALSE(asked->download_address.has_value());
  EXPECT_FALSE(DecideUpdate(record, false).has_value());
}

TEST(UpdateCheckTest, RunningVersionIsReportedOnlyOnRequest) {
  const std::optional<UpdateMessage> asked = DecideUpdate(Record("1.0"), true);
  ASSERT_TRUE(asked.has_value());
  EXPECT_EQ(asked->text, kLatest);
  EXPECT_EQ(asked->title, "提示");
  EXPECT_FALSE(asked->with_cancel);
  EXPECT_FALSE(asked->download_address.has_value());

  EXPECT_FALSE(DecideUpdate(Record("1.0"), false).has_value());
}

TEST(UpdateCheckTest, PromptHasTheTenLinesExactly) {
  const std::optional<UpdateMessage> message =
      DecideUpdate("1.1\r\nFalse\r\n2024-05-01\r\n新增白银报价\r\nhttp://example.test/x", false);
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->text,
            "\r\n   您当前的软件有最新版本!              \r\n\r\n   版本号:v1.1\r\n\r\n"
            "   发布日期:2024-05-01\r\n\r\n   软件特性:新增白银报价\r\n\r\n"
            "   您是否下载新版本软件?");
  EXPECT_EQ(message->title, "更新提示");
  EXPECT_EQ(message->download_address, "http://example.test/x");
}

TEST(UpdateCheckTest, EveryOtherVersionTextIsOfferedInBothModes) {
  for (const std::string version : {"1.1", "0.9", "1.0 ", " 1.0", "1.00", ""}) {
    for (const bool on_request : {true, false}) {
      SCOPED_TRACE("version \"" + version + "\", on request " + std::to_string(on_request));
      const std::optional<UpdateMessage> message =
          DecideUpdate(Record(version, "False", "2024年5月1日", "  修正 错误 "), on_request);
      ASSERT_TRUE(message.has_value());
      EXPECT_EQ(message->text, ExpectedPrompt(version, "2024年5月1日", "  修正 错误 "));
      EXPECT_EQ(message->title, "更新提示");
      EXPECT_TRUE(message->with_cancel);
      EXPECT_EQ(message->download_address, kDownload);
    }
  }
}

TEST(UpdateCheckTest, OnlyTheExactTrueFlagMakesTheUpdateMandatory) {
  for (const bool on_request : {true, false}) {
    const std::optional<UpdateMessage> mandatory = DecideUpdate(Record("1.1", "True"), on_request);
    ASSERT_TRUE(mandatory.has_value());
    EXPECT_FALSE(mandatory->with_cancel);
  }
  for (const std::string flag : {"true", "False", "TRUE", "True ", ""}) {
    SCOPED_TRACE("flag \"" + flag + "\"");
    const std::optional<UpdateMessage> optional = DecideUpdate(Record("1.1", flag), false);
    ASSERT_TRUE(optional.has_value());
    EXPECT_TRUE(optional->with_cancel);
  }
}

TEST(UpdateCheckTest, RecordsWithoutExactlyFiveFieldsFail) {
  ExpectFailure("");
  ExpectFailure("1.1");
  ExpectFailure("1.0 True 2024-05-01 x http://example.test/");
  ExpectFailure(Record("1.1") + "\r\n");
  ExpectFailure(Record("1.0") + "\r\n");
  ExpectFailure("1.1\r\nFalse\r\n2024-05-01\r\n" + kDownload);
  ExpectFailure(Record("1.1") + "\r\nextra");
  // Only the pair counts as a separator; a lone LF or CR stays inside a field.
  ExpectFailure("1.1\nFalse\n2024-05-01\nx\n" + kDownload);
  ExpectFailure("1.1\rFalse\r2024-05-01\rx\r" + kDownload);
  ExpectFailure("1.1\n\rFalse\n\r2024-05-01\n\rx\n\r" + kDownload);
}

TEST(UpdateCheckTest, DownloadAddressMustBeAWebAddress) {
  for (const std::string address :
       {"file:///etc/passwd", "javascript:x", "", "ftp://example.test/a.zip", "http://",
        "/Soft/Tessal2.zip", "example.test/a.zip"}) {
    SCOPED_TRACE("address \"" + address + "\"");
    ExpectFailure(Record("1.1", "False", "2024-05-01", "x", address));
    // Naming the running version, the record offers nothing to open: still up to date.
    ASSERT_TRUE(DecideUpdate(Record("1.0", "False", "2024-05-01", "x", address), true));
    EXPECT_EQ(DecideUpdate(Record("1.0", "False", "2024-05-01", "x", address), true)->text,
              "您的软件已经最新版本!");
  }
  for (const std::string address : {"https://example.test/d?v=1.1", "HTTP://EXAMPLE.TEST/"}) {
    const std::optional<UpdateMessage> message =
        DecideUpdate(Record("1.1", "False", "d", "f", address), false);
    ASSERT_TRUE(message.has_value());
    EXPECT_EQ(message->download_address, address);
  }
}

struct CutCase {
  const char* name;
  std::string features;
  std::string shown;
};
void PrintTo(const CutCase& cut_case, std::ostream* out) { *out << cut_case.name; }

class UpdateCutTest : public ::testing::TestWithParam<CutCase> {};

TEST_P(UpdateCutTest, FeaturesAreCutToFitTheBox) {
  const std::optional<UpdateMessage> message =
      DecideUpdate(Record("1.1", "False", "d", GetParam().features), false);
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->text, ExpectedPrompt("1.1", "d", GetParam().shown));
}

const std::string kLine60 = Repeat("涨", 60) + "\n";
const std::string kLine100 = Repeat("跌", 100) + "\n";
INSTANTIATE_TEST_SUITE_P(
    Texts, UpdateCutTest,
    ::testing::Values(
        CutCase{"OneLineOf100KB", Repeat("新增", 17'000), Repeat("新增", 60) + "…"},
        CutCase{"LineOf120Fits", Repeat("涨", 120), Repeat("涨", 120)},
        CutCase{"LongLinesEachCut", Repeat(Repeat("x", 121) + "\r", 2),
                Repeat(Repeat("x", 120) + "…\r", 2)},
        CutCase{"ManyShortLines", Repeat("第一\n", 5000), Repeat("第一\n", 9) + "第一…"},
        CutCase{"TenLinesFit", Repeat("a\u2028", 9) + "a", Repeat("a\u2028", 9) + "a"},
        CutCase{"SixHundredFit", Repeat(kLine60, 9) + Repeat("涨", 60),
                Repeat(kLine60, 9) + Repeat("涨", 60)},
        CutCase{"SixHundredInAll", Repeat(kLine100, 7), Repeat(kLine100, 6) + "…"},
        CutCase{"NotUtf8", Repeat("\x80", 100'000), Repeat("\x80", 120) + "…"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(UpdateCheckTest, VersionAndDateAreCutToOneLine) {
  const std::string long_line = Repeat("版", 500);
  const std::optional<UpdateMessage> message =
      DecideUpdate(Record("1.1\n2\n3", "False", long_line, "f"), false);
  ASSERT_TRUE(message.has_value());
  EXPECT_EQ(message->text, ExpectedPrompt("1.1…", Repeat("版", 120) + "…", "f"));
}

}  // namespace
