#include "text/tray_tip.h"

#include "text/gbk.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <string_view>

namespace Tray {
namespace {

std::string Repeat(std::string_view unit, int times) {
  std::string text;
  for (int i = 0; i < times; ++i) text += unit;
  return text;
}

TEST(GbkConversionTest, KnownBytesBothWays) {
  EXPECT_EQ(text::Utf8ToGbk("中文"), "\xD6\xD0\xCE\xC4");
  EXPECT_EQ(text::Utf8ToGbk("Lumetta v1.0\r\n"), "Lumetta v1.0\r\n");
  EXPECT_EQ(text::Utf8ToGbk("€"), "\x80");  // code page 936 keeps the euro in one byte
  EXPECT_EQ(text::Utf8ToGbk("Ω"), "\xA6\xB8");
  EXPECT_EQ(text::GbkToUtf8("\xD6\xD0\xCE\xC4"), "中文");
  EXPECT_EQ(text::GbkToUtf8("\x80"), "€");
  EXPECT_EQ(text::Utf8ToGbk(""), "");
  EXPECT_EQ(text::GbkToUtf8(""), "");

  // Characters outside GBK are one '?' each, whatever their UTF-8 length.
  EXPECT_EQ(text::Utf8ToGbk("a😀b"), "a?b");
  EXPECT_EQ(text::Utf8ToGbk("ก中"), "?\xD6\xD0");
  // Malformed UTF-8 gives one '?' per byte: stray continuation, overlong form, surrogate,
  // a lead byte cut off at the end.
  EXPECT_EQ(text::Utf8ToGbk("\x80z"), "?z");
  EXPECT_EQ(text::Utf8ToGbk("\xC0\xAF"), "??");
  EXPECT_EQ(text::Utf8ToGbk("\xED\xA0\x80"), "???");
  EXPECT_EQ(text::Utf8ToGbk("x\xE4\xB8"), "x??");
  // Undecodable GBK bytes are '?' too.
  EXPECT_EQ(text::GbkToUtf8("\xD6"), "?");
  EXPECT_EQ(text::GbkToUtf8("\xFF"
                            "a"),
            "?a");

  // The panel's texts survive the round trip unchanged.
  for (const char* text :
       {"正在加载报价...", "资讯加载失败.点击这里重新加载!", "Zentrova人民币黄金", "＄纸铂金",
        "￥纸白银", "买入价:270.50", "建设银行AU9999"}) {
    EXPECT_EQ(text::GbkToUtf8(text::Utf8ToGbk(text)), text);
  }
}

TEST(TipTextTest, CutsAt127BytesWithoutHalfCharacters) {
  const std::string ascii_200 = Repeat("x", 200);
  EXPECT_EQ(TipText(ascii_200), ascii_200.substr(0, 127));
  EXPECT_EQ(TipText(Repeat("y", 127)), Repeat("y", 127));
  EXPECT_EQ(TipText(Repeat("y", 128)), Repeat("y", 127));

  // 64 Chinese characters are 128 bytes: the last does not fit.
  EXPECT_EQ(TipText(Repeat("金", 64)), Repeat("金", 63));
  // One ASCII character and 63 Chinese fill the field exactly.
  EXPECT_EQ(TipText(Repeat("a", 1) + Repeat("金", 63)), Repeat("a", 1) + Repeat("金", 63));
  // Two ASCII and 63 Chinese: the last one would be cut in half and is dropped.
  EXPECT_EQ(TipText(Repeat("ab", 1) + Repeat("金", 63)), Repeat("ab", 1) + Repeat("金", 62));
  // A character GBK lacks takes one byte as '?', so it can still fill the last byte.
  EXPECT_EQ(TipText(Repeat("y", 126) + "😀z"), Repeat("y", 126) + "?");
  EXPECT_EQ(TipText(Repeat("金", 63) + "😀"), Repeat("金", 63) + "?");
}

TEST(TipTextTest, NulEndsTheTextAndLineBreaksStay) {
  EXPECT_EQ(TipText(std::string_view("abc\0def", 7)), "abc");
  EXPECT_EQ(TipText(std::string_view("\0abc", 4)), "");
  EXPECT_EQ(TipText(""), "");
  EXPECT_EQ(TipText("Lumetta v1.0"), "Lumetta v1.0");

  // A quote tip with the longest catalogue name passes whole, line breaks included.
  const std::string tip =
      "\r\n   [工商银行人民币铂金]   \r\n\r\n   买入价:270.50   \r\n\r\n   卖出价:271.10   \r\n";
  EXPECT_EQ(TipText(tip), tip);

  // A long server name pushes the sell line out; what stays is a prefix of the tip.
  const std::string long_tip =
      "\r\n   [" + Repeat("很长的名字", 10) + "]   \r\n\r\n   买入价:1   \r\n";
  const std::string shown = TipText(long_tip);
  EXPECT_LT(shown.size(), long_tip.size());
  EXPECT_EQ(long_tip.substr(0, shown.size()), shown);
  EXPECT_LE(text::Utf8ToGbk(shown).size(), kTipLimitBytes);
  EXPECT_GE(text::Utf8ToGbk(shown).size(), kTipLimitBytes - 1);
}

TEST(TipTextPropertyTest, RandomTextsGiveTheLongestWholePrefix) {
  static constexpr std::array<std::string_view, 10> kUnits = {
      "a", "\r\n", "金", "€", "😀", "ก", std::string_view("\0", 1), "\xFF", "Ω", " "};
  std::mt19937 rng(4242);
  std::uniform_int_distribution<int> count(0, 140);
  std::uniform_int_distribution<int> unit(0, kUnits.size() - 1);
  for (int i = 0; i < 2000; ++i) {
    std::string text;
    for (int n = count(rng); n > 0; --n) text += kUnits[unit(rng)];
    SCOPED_TRACE(testing::PrintToString(text));
    const std::string shown = TipText(text);
    const std::string full = text::Utf8ToGbk(text.substr(0, text.find('\0')));
    const std::string shown_gbk = text::Utf8ToGbk(shown);
    EXPECT_LE(shown_gbk.size(), kTipLimitBytes);
    EXPECT_EQ(full.substr(0, shown_gbk.size()), shown_gbk);
    if (full.size() <= kTipLimitBytes) {
      EXPECT_EQ(shown_gbk, full);
    } else {
      // Only a two-byte character that would straddle the limit may leave a byte unused.
      EXPECT_TRUE(shown_gbk.size() == kTipLimitBytes ||
                  (shown_gbk.size() == kTipLimitBytes - 1 &&
                   static_cast<unsigned char>(full[kTipLimitBytes - 1]) >= 0x81));
    }
  }
}

}  // namespace
}  // namespace Tray
