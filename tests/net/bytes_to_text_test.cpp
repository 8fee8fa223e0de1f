#include "net/bytes_to_text.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using Code::BytesToText;

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD

TEST(BytesToTextTest, Gb2312NamesDecodeCodePage936) {
  // 黄金 in GBK is BB C6 BD F0; the blanks and line ends around it must survive.
  const std::string gbk = " \xBB\xC6\xBD\xF0,1.5\r\n\t";
  for (const std::string charset : {"gb2312", "GB2312", "Gb2312"}) {
    EXPECT_EQ(BytesToText(gbk, charset), " 黄金,1.5\r\n\t") << charset;
  }
  // Code page 936 rather than strict GB2312: 0x80 is the euro sign, and GBK-only characters
  // (here 镕, 0xE946) decode too.
  EXPECT_EQ(BytesToText("\x80\xE9\x46", "gb2312"), "€镕");
}

TEST(BytesToTextTest, OtherNamesFallBackToCodePage936) {
  EXPECT_EQ(BytesToText("\xBB\xC6\xBD\xF0", "big5"), "黄金");
  EXPECT_EQ(BytesToText("\xBB\xC6\xBD\xF0", ""), "黄金");
}

TEST(BytesToTextTest, Utf8DropsOnlyALeadingByteOrderMark) {
  EXPECT_EQ(BytesToText("\xEF\xBB\xBF价格", "utf-8"), "价格");
  EXPECT_EQ(BytesToText("\xEF\xBB\xBF价格", "UTF-8"), "价格");
  EXPECT_EQ(BytesToText("价\xEF\xBB\xBF格", "utf-8"), "价\xEF\xBB\xBF格");
  EXPECT_EQ(BytesToText("\xEF\xBB\xBF\xEF\xBB\xBFx", "utf-8"), "\xEF\xBB\xBFx");
  EXPECT_EQ(BytesToText("\xEF\xBB\xBF", "utf-8"), "");
}

TEST(BytesToTextTest, UndecodableBytesBecomeReplacementCharacters) {
  EXPECT_EQ(BytesToText("ab\xFF"
                        "cd",
                        "utf-8"),
            std::string("ab") + kReplacement + "cd");
  // A sequence cut off at the end: each leftover byte is replaced.
  EXPECT_EQ(BytesToText("ab\xE4\xB8", "utf-8"), std::string("ab") + kReplacement + kReplacement);
  // Forms beyond U+10FFFF, overlong forms and surrogates are no UTF-8 either: byte by byte.
  for (const std::string bad :
       {"\xF4\x90\x80\x80", "\xFC\x84\x80\x80\x80\x80", "\xC0\xAF", "\xED\xA0\x80"}) {
    std::string expected;
    for (std::size_t i = 0; i < bad.size(); ++i) expected += kReplacement;
    EXPECT_EQ(BytesToText(bad, "utf-8"), expected);
  }
  // A GBK lead byte followed by a byte that cannot trail it; the second byte stays itself.
  EXPECT_EQ(BytesToText("\x81 ok", "gb2312"), std::string(kReplacement) + " ok");
  EXPECT_EQ(BytesToText("ok\x81", "gb2312"), std::string("ok") + kReplacement);
  EXPECT_EQ(BytesToText("\xFF\xBB\xC6", "gb2312"), std::string(kReplacement) + "黄");
}

TEST(BytesToTextTest, EveryOtherByteIsKept) {
  EXPECT_EQ(BytesToText("", "gb2312"), "");
  EXPECT_EQ(BytesToText(std::string("a\0b", 3), "gb2312"), std::string("a\0b", 3));
  EXPECT_EQ(BytesToText(std::string("a\0b", 3), "utf-8"), std::string("a\0b", 3));
  // Larger than the converter's working buffer, with a character across every boundary.
  std::string gbk;
  std::string utf8;
  for (int i = 0; i < 10000; ++i) {
    gbk += "a\xBB\xC6";
    utf8 += "a黄";
  }
  EXPECT_EQ(BytesToText(gbk, "gb2312"), utf8);
  EXPECT_EQ(BytesToText(utf8, "utf-8"), utf8);
}

}  // namespace
