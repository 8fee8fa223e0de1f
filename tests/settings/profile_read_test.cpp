#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <string_view>

#include "settings/profile_file.h"

namespace {

using profile::FindValue;
using profile::GetString;

TEST(ProfileReadTest, NamesMatchWithoutCaseOrSurroundingBlanks) {
  const std::string content =
      "[ system\t]\r\n"
      "  priceTYPE\t=\t icbcrmbgold \r\n"
      "\tRefreshTime=10\r\n";
  EXPECT_EQ(FindValue(content, "System", "PriceType"), "icbcrmbgold");
  EXPECT_EQ(FindValue(content, "SYSTEM", "refreshtime"), "10");
  EXPECT_EQ(FindValue(content, " System ", "\tPriceType "), "icbcrmbgold");
  // Only ASCII letters fold: a differently cased accented letter is another name.
  EXPECT_EQ(FindValue("[Syst\xC3\xA9m]\r\nK=1\r\n", "SYST\xC3\x89M", "K"), std::nullopt);
  EXPECT_EQ(FindValue("[Syst\xC3\xA9m]\r\nK=1\r\n", "SYST\xC3\xA9M", "k"), "1");
}

TEST(ProfileReadTest, OnePairOfEnclosingQuotesIsRemoved) {
  const std::string content =
      "[System]\n"
      "Double=\"  spaced  \"\n"
      "Single='50'\n"
      "Mixed=\"50'\n"
      "Lone=\"\n"
      "Empty=\"\"\n"
      "Inner=\"a\"b\"\n"
      "Outside=  \"x\"  \n"
      "Twice=\"\"x\"\"\n"
      "OpenOnly=\"abc\n"
      "Middle=a\"b\"\n";
  EXPECT_EQ(FindValue(content, "System", "Double"), "  spaced  ");
  EXPECT_EQ(FindValue(content, "System", "Single"), "50");
  EXPECT_EQ(FindValue(content, "System", "Mixed"), "\"50'");
  EXPECT_EQ(FindValue(content, "System", "Lone"), "\"");
  EXPECT_EQ(FindValue(content, "System", "Empty"), "");
  EXPECT_EQ(FindValue(content, "System", "Inner"), "a\"b");
  EXPECT_EQ(FindValue(content, "System", "Outside"), "x");
  EXPECT_EQ(FindValue(content, "System", "Twice"), "\"x\"");
  EXPECT_EQ(FindValue(content, "System", "OpenOnly"), "\"abc");
  EXPECT_EQ(FindValue(content, "System", "Middle"), "a\"b\"");
}

TEST(ProfileReadTest, SemicolonAndHashAreOrdinaryCharacters) {
  const std::string content =
      "[System]\r\n"
      "Transparent=50 ; x\r\n"
      ";LockState=Lock\r\n"
      "#AutoRun=True\r\n"
      "; [Other]\r\n"
      "Top=1 # 2\r\n";
  EXPECT_EQ(FindValue(content, "System", "Transparent"), "50 ; x");
  EXPECT_EQ(FindValue(content, "System", ";LockState"), "Lock");
  EXPECT_EQ(FindValue(content, "System", "LockState"), std::nullopt);
  EXPECT_EQ(FindValue(content, "System", "#AutoRun"), "True");
  // "; [Other]" is no header, so Top still belongs to System.
  EXPECT_EQ(FindValue(content, "System", "Top"), "1 # 2");
  EXPECT_EQ(FindValue(content, "Other", "Top"), std::nullopt);
}

TEST(ProfileReadTest, FirstSectionAndFirstKeyWin) {
  const std::string content =
      "[System]\r\n"
      "Left=1\r\n"
      "left=2\r\n"
      "[Other]\r\n"
      "Top=7\r\n"
      "[SYSTEM]\r\n"
      "Left=3\r\n"
      "Top=4\r\n";
  EXPECT_EQ(FindValue(content, "System", "Left"), "1");
  // A key that only a later section of the same name holds is not seen.
  EXPECT_EQ(FindValue(content, "System", "Top"), std::nullopt);
  EXPECT_EQ(FindValue(content, "Other", "Top"), "7");
}

TEST(ProfileReadTest, LineStructureDecidesWhatIsAKey) {
  const std::string content =
      "PriceType=before-any-section\r\n"
      "[System]\r\n"
      "PriceType\r\n"
      "Lonely\r\n"
      "Address = http://a/?x=1&y=2\r\n"
      " = nameless\r\n"
      "PriceType=rmb\r\n"
      "Blank=\r\n"
      "Spaces=   \r\n"
      "[Other] trailing text\r\n"
      "K=other\r\n"
      "[Broken\r\n"
      "B=still-other\r\n"
      "[ ]\r\n"
      "Hidden=1\r\n";
  EXPECT_EQ(FindValue(content, "System", "PriceType"), "rmb");
  EXPECT_EQ(FindValue(content, "System", "Lonely"), std::nullopt);
  EXPECT_EQ(FindValue(content, "System", "Address"), "http://a/?x=1&y=2");
  EXPECT_EQ(FindValue(content, "System", ""), std::nullopt);
  EXPECT_EQ(FindValue(content, "System", "Blank"), "");
  EXPECT_EQ(FindValue(content, "System", "Spaces"), "");
  EXPECT_EQ(FindValue(content, "System", "K"), std::nullopt);
  EXPECT_EQ(FindValue(content, "Other", "K"), "other");
  // A "[" without "]" opens no section; its line is just text inside [Other].
  EXPECT_EQ(FindValue(content, "Broken", "B"), std::nullopt);
  EXPECT_EQ(FindValue(content, "Other", "B"), "still-other");
  // A blank section name ends [Other] but can never be asked for.
  EXPECT_EQ(FindValue(content, "Other", "Hidden"), std::nullopt);
  EXPECT_EQ(FindValue(content, " ", "Hidden"), std::nullopt);
}

TEST(ProfileReadTest, EveryLineEndAndAByteOrderMarkRead) {
  for (const std::string_view line_end : {"\r\n", "\n", "\r"}) {
    SCOPED_TRACE(testing::PrintToString(line_end));
    std::string body = "[System]";
    body.append(line_end).append("A=1").append(line_end).append("B=2");
    EXPECT_EQ(FindValue(body, "System", "A"), "1");
    EXPECT_EQ(FindValue(body, "System", "B"), "2");
    EXPECT_EQ(FindValue(std::string(body).append(line_end), "System", "B"), "2");
    EXPECT_EQ(FindValue("\xEF\xBB\xBF" + body, "System", "A"), "1");
  }
  EXPECT_EQ(FindValue("[System]\nA=1\r\rB=2\r\n\nC=3", "System", "B"), "2");
  EXPECT_EQ(FindValue("[System]\nA=1\r\rB=2\r\n\nC=3", "System", "C"), "3");
  // A mark anywhere but at the very start is part of the text.
  EXPECT_EQ(FindValue("\r\n\xEF\xBB\xBF[System]\r\nA=1", "System", "A"), std::nullopt);
}

TEST(ProfileReadTest, MissingFileSectionOrKeyIsNotFound) {
  EXPECT_EQ(FindValue("", "System", "A"), std::nullopt);
  EXPECT_EQ(FindValue("[Other]\r\nA=1\r\n", "System", "A"), std::nullopt);
  EXPECT_EQ(FindValue("[System]\r\nB=1\r\n", "System", "A"), std::nullopt);
  EXPECT_EQ(GetString("[System]\r\nB=1\r\n", "System", "A"), "");
}

TEST(ProfileReadTest, BoundedReadCutsToBufferSizeMinusOne) {
  std::string long_value;
  for (int i = 0; i < 2000; ++i) long_value.push_back(static_cast<char>('a' + i % 26));
  const std::string content = "[System]\r\nLong=" + long_value + "\r\nShort=abc\r\n";

  const std::string read = GetString(content, "System", "Long");
  EXPECT_EQ(read.size(), 1023u);
  EXPECT_EQ(read, long_value.substr(0, 1023));
  EXPECT_EQ(GetString(content, "System", "Long", 10), long_value.substr(0, 9));
  EXPECT_EQ(GetString(content, "System", "Short", 4), "abc");
  EXPECT_EQ(GetString(content, "System", "Short", 3), "ab");
  EXPECT_EQ(GetString(content, "System", "Short", 1), "");
  EXPECT_EQ(GetString(content, "System", "Short", 0), "");

  const std::string exact(1023, 'z');
  EXPECT_EQ(GetString("[System]\r\nK=" + exact, "System", "K"), exact);
  // The cut applies to the value without its quotes.
  EXPECT_EQ(GetString("[System]\r\nK=\"" + exact + "\"", "System", "K"), exact);
}

}  // namespace
