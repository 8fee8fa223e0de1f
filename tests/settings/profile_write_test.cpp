#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>

#include "settings/profile_file.h"

namespace {

using profile::CanStore;
using profile::FindValue;
using profile::SetValue;

TEST(ProfileWriteTest, EmptyContentGetsSectionAndKey) {
  EXPECT_EQ(SetValue("", "System", "PriceType", "icbcrmbgold"),
            "[System]\r\nPriceType=icbcrmbgold\r\n");
  // Names are stored without the blanks around them.
  EXPECT_EQ(SetValue("", " System\t", " Left ", "7200"), "[System]\r\nLeft=7200\r\n");
  // A file holding only a byte-order mark counts as empty and keeps the mark.
  EXPECT_EQ(SetValue("\xEF\xBB\xBF", "System", "A", "1"), "\xEF\xBB\xBF[System]\r\nA=1\r\n");
}

TEST(ProfileWriteTest, ExistingValueIsReplacedInPlaceAndEveryOtherLineKept) {
  const std::string before =
      "\xEF\xBB\xBF; written by hand\n"
      "[other]\r\n"
      "PriceType=zzz\r\n"
      "[ SYSTEM ]\n"
      "Left = 10\n"
      "  pricetype = \"gold\"  \r"
      "\n"
      "#x=1\r"
      "Top=5";
  const std::string after =
      "\xEF\xBB\xBF; written by hand\n"
      "[other]\r\n"
      "PriceType=zzz\r\n"
      "[ SYSTEM ]\n"
      "Left = 10\n"
      "pricetype=rmb\r"
      "\n"
      "#x=1\r"
      "Top=5";
  EXPECT_EQ(SetValue(before, "System", "PriceType", "rmb"), after);
  EXPECT_EQ(FindValue(after, "System", "PriceType"), "rmb");

  // The last line keeps having no line end.
  EXPECT_EQ(SetValue("[System]\r\nTop=5", "system", "TOP", "-300"), "[System]\r\nTop=-300");
}

TEST(ProfileWriteTest, ValueAlreadyThereChangesNothing) {
  const std::string content = "[System]\r\n  Transparent =  50 \r\nLockState=UnLock\r\n";
  EXPECT_EQ(SetValue(content, "system", "TRANSPARENT", "50"), std::nullopt);
  EXPECT_EQ(SetValue(content, "System", "LockState", "UnLock"), std::nullopt);
  // Values compare exactly: another letter case is another value.
  EXPECT_EQ(SetValue(content, "System", "LockState", "unlock"),
            "[System]\r\n  Transparent =  50 \r\nLockState=unlock\r\n");
  // An empty value over an empty value is no change either; over a missing key it is.
  EXPECT_EQ(SetValue("[System]\r\nA=\r\n", "System", "A", ""), std::nullopt);
  EXPECT_EQ(SetValue("[System]\r\n", "System", "A", ""), "[System]\r\nA=\r\n");
}

TEST(ProfileWriteTest, NewKeyFollowsTheLastFilledLineOfItsSection) {
  EXPECT_EQ(SetValue("[System]\r\nA=1\r\n\r\n[Other]\r\nB=2\r\n", "System", "C", "3"),
            "[System]\r\nA=1\r\nC=3\r\n\r\n[Other]\r\nB=2\r\n");
  // A line that is no key still belongs to the section; blank lines after it do not count.
  EXPECT_EQ(SetValue("[System]\nA=1\njunk\n \t\n", "System", "C", "3"),
            "[System]\nA=1\njunk\nC=3\r\n \t\n");
  EXPECT_EQ(SetValue("[System]\n\n[Other]\n", "System", "C", "3"), "[System]\nC=3\r\n\n[Other]\n");
  // Without a line end on the last line, one is added before the new key.
  EXPECT_EQ(SetValue("[System]", "System", "C", "3"), "[System]\r\nC=3\r\n");
  EXPECT_EQ(SetValue("[System]\nA=1", "System", "C", "3"), "[System]\nA=1\r\nC=3\r\n");
  EXPECT_EQ(SetValue("[System]\rA=1\r", "System", "C", "3"), "[System]\rA=1\rC=3\r\n");
}

TEST(ProfileWriteTest, WritesGoToTheFirstSectionOfThatName) {
  const std::string content = "[System]\r\nA=1\r\n[system]\r\nB=2\r\n";
  const std::optional<std::string> updated = SetValue(content, "SYSTEM", "B", "9");
  EXPECT_EQ(updated, "[System]\r\nA=1\r\nB=9\r\n[system]\r\nB=2\r\n");
  ASSERT_TRUE(updated);
  EXPECT_EQ(FindValue(*updated, "System", "B"), "9");
  // Only the first of two equal keys is replaced, and that is the one read back.
  EXPECT_EQ(SetValue("[System]\r\nA=1\r\na=2\r\n", "System", "A", "3"),
            "[System]\r\nA=3\r\na=2\r\n");
}

TEST(ProfileWriteTest, NewSectionGoesToTheEnd) {
  EXPECT_EQ(SetValue("[Other]\r\nX=1", "System", "K", "v"),
            "[Other]\r\nX=1\r\n[System]\r\nK=v\r\n");
  EXPECT_EQ(SetValue("[Other]\nX=1\n", "System", "K", "v"), "[Other]\nX=1\n[System]\r\nK=v\r\n");
  EXPECT_EQ(SetValue("[Other]\rX=1\r", "System", "K", "v"), "[Other]\rX=1\r[System]\r\nK=v\r\n");
  // Keys above any section are no part of it, so the section is still missing.
  EXPECT_EQ(SetValue("K=old\r\n", "System", "K", "v"), "K=old\r\n[System]\r\nK=v\r\n");
  // "[System" without its bracket is not the section.
  EXPECT_EQ(SetValue("[System\r\n", "System", "K", "v"), "[System\r\n[System]\r\nK=v\r\n");
}

TEST(ProfileWriteTest, OnlyTextThatReadsBackAsWrittenIsStored) {
  EXPECT_TRUE(CanStore("System", "Path", "a=b;c#d [e] \"f\""));
  EXPECT_TRUE(CanStore("System", "K", ""));
  EXPECT_FALSE(CanStore("System", "K", "two\nlines"));
  EXPECT_FALSE(CanStore("System", "K", "two\rlines"));
  EXPECT_FALSE(CanStore("System", "K", std::string("nul\0byte", 8)));
  EXPECT_FALSE(CanStore("System", "K=1", "v"));
  EXPECT_FALSE(CanStore("System", "", "v"));
  EXPECT_FALSE(CanStore("System", " \t", "v"));
  EXPECT_FALSE(CanStore("Sys]tem", "K", "v"));
  // What the reader would change: blanks around the value, a pair of quotes, a header-like key.
  for (const char* value : {" x", "x\t", "\"x\"", "'x'"}) {
    EXPECT_FALSE(CanStore("System", "K", value)) << value;
  }
  EXPECT_TRUE(CanStore("System", "K", "\"x"));
  EXPECT_TRUE(CanStore("System", "K", "x y"));
  EXPECT_FALSE(CanStore("System", "[a", "]"));
  EXPECT_FALSE(CanStore("System", " [a", "b"));
  EXPECT_FALSE(CanStore("", "K", "v"));
  EXPECT_FALSE(CanStore("Sys\ntem", "K", "v"));
  EXPECT_THROW(SetValue("", "System", "K", "a\r\nInjected=1"), std::invalid_argument);
}

TEST(ProfileWriteTest, RemovingAKeyTakesOnlyItsLineFromItsSection) {
  const std::string before = "[other]\r\nAlert_au=1,\r\n[system]\nLeft=1\r\n alert_AU = 2, \rTop=5";
  EXPECT_EQ(profile::RemoveValue(before, "System", "Alert_au"),
            "[other]\r\nAlert_au=1,\r\n[system]\nLeft=1\r\nTop=5");
  // The last line, without a line end of its own.
  EXPECT_EQ(profile::RemoveValue("[System]\r\nA=1\r\nB=2", "System", "b"), "[System]\r\nA=1\r\n");
  for (const char* missing : {"Alert_ag", "Alert"}) {
    EXPECT_EQ(profile::RemoveValue(before, "System", missing), std::nullopt) << missing;
  }
  EXPECT_EQ(profile::RemoveValue(before, "Absent", "Left"), std::nullopt);
}

}  // namespace
