// The shared conversion's error policy: never a throw, a missing converter is nullopt, and bad
// input is replaced without stopping the conversion.

#include "text/converter.h"

#include <gtest/gtest.h>

#include <string>

#include "text/ascii_case.h"

namespace {

std::size_t OneByte(std::string_view /*rest*/) { return 1; }
std::size_t NoBytes(std::string_view /*rest*/) { return 0; }
std::size_t TooMany(std::string_view rest) { return rest.size() + 10; }

TEST(ConverterTest, AnUnknownCharsetIsNulloptNotAnException) {
  EXPECT_EQ(text::Convert("abc", "UTF-8", "NO-SUCH-CHARSET", "?", OneByte), std::nullopt);
  EXPECT_EQ(text::Convert("abc", "NO-SUCH-CHARSET", "UTF-8", "?", OneByte), std::nullopt);
}

TEST(ConverterTest, RejectedBytesAreReplacedAndTheRestConverted) {
  EXPECT_EQ(text::Convert("a\xFF"
                          "b\xFE",
                          "UTF-8", "UTF-8", "<>", OneByte),
            "a<>b<>");
  // A rule that would not advance still moves one byte; one that overshoots stops at the end.
  EXPECT_EQ(text::Convert("\xFF\xFFz", "UTF-8", "UTF-8", "?", NoBytes), "??z");
  EXPECT_EQ(text::Convert("x\xFF"
                          "abc",
                          "UTF-8", "UTF-8", "?", TooMany),
            "x?");
  // Large input crosses the converter's internal buffer without losing bytes.
  const std::string big(100000, 'q');
  EXPECT_EQ(text::Convert(big + "\xFF", "UTF-8", "UTF-8", "!", OneByte), big + "!");
}

// A thread keeps its descriptors open between calls: each call still starts in the initial
// shift state, and a pair of charsets never gets another pair's descriptor.
TEST(ConverterTest, EveryCallStartsAfreshWhateverTheThreadConvertedBefore) {
  // ISO-2022-JP shifts to its two-byte set with ESC $ B, and this call does not shift back: a
  // call that went on in the state the last one left would not shift again.
  const auto first = text::Convert("日本", "ISO-2022-JP", "UTF-8", "?", OneByte);
  ASSERT_TRUE(first && first->starts_with("\x1B$B")) << first.value_or("(none)");
  EXPECT_EQ(text::Convert("日本", "ISO-2022-JP", "UTF-8", "?", OneByte), first);
  // More pairs than a thread keeps open, in turn, twice.
  for (int round = 0; round < 2; ++round) {
    EXPECT_EQ(text::Convert("中", "GBK", "UTF-8", "?", OneByte), "\xD6\xD0");
    EXPECT_EQ(text::Convert("\xD6\xD0", "UTF-8", "GBK", "?", OneByte), "中");
    EXPECT_EQ(text::Convert("é", "ISO-8859-1", "UTF-8", "?", OneByte), "\xE9");
    EXPECT_EQ(text::Convert("\xE9", "UTF-8", "ISO-8859-1", "?", OneByte), "é");
    EXPECT_EQ(text::Convert("A", "UTF-16LE", "UTF-8", "?", OneByte), std::string("A\0", 2));
  }
}

TEST(ConverterTest, Utf8CharacterLengths) {
  EXPECT_EQ(text::Utf8CharLength(""), 0U);
  EXPECT_EQ(text::Utf8CharLength("a"), 1U);
  EXPECT_EQ(text::Utf8CharLength("中"), 3U);
  EXPECT_EQ(text::Utf8CharLength("😀"), 4U);
  EXPECT_EQ(text::Utf8CharLength("\xE4\xB8"), 0U);          // cut off
  EXPECT_EQ(text::Utf8CharLength("\xC0\xAF"), 0U);          // overlong
  EXPECT_EQ(text::Utf8CharLength("\xED\xA0\x80"), 0U);      // surrogate
  EXPECT_EQ(text::Utf8CharLength("\xF4\x90\x80\x80"), 0U);  // above U+10FFFF
}

TEST(AsciiCaseTest, OnlyAsciiLettersFold) {
  EXPECT_EQ(text::AsciiLower("ICBC-RMB_Gold9"), "icbc-rmb_gold9");
  // Bytes of other scripts and the letters next to A-Z in ASCII stay as they are.
  EXPECT_EQ(text::AsciiLower("\xC3\x84@[`{"), "\xC3\x84@[`{");
  EXPECT_TRUE(text::EqualsIgnoreAsciiCase("UnLock", "unlock"));
  EXPECT_FALSE(text::EqualsIgnoreAsciiCase("unlock", "unlocks"));
  EXPECT_TRUE(text::StartsWithIgnoreAsciiCase("HTTPS://x", "https://"));
  EXPECT_FALSE(text::StartsWithIgnoreAsciiCase("http", "https://"));
}

}  // namespace
