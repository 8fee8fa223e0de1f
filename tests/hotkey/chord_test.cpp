#include "hotkey/chord.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace {

using hotkey::ChordText;
using hotkey::ParseChord;

struct Written {
  std::string_view text;
  std::string_view canonical;
};

class AcceptedChordTest : public testing::TestWithParam<Written> {};

// Any order, case, alias and blanks around the names read as the one canonical spelling, which
// reads back as the same chord.
TEST_P(AcceptedChordTest, ReadsAsItsCanonicalText) {
  const auto chord = ParseChord(GetParam().text);
  ASSERT_TRUE(chord) << GetParam().text;
  EXPECT_EQ(ChordText(*chord), GetParam().canonical);
  EXPECT_EQ(ParseChord(ChordText(*chord)), chord);
}

INSTANTIATE_TEST_SUITE_P(
    Chords, AcceptedChordTest,
    testing::Values(Written{"Ctrl+Alt+Shift+H", "Ctrl+Alt+Shift+H"},
                    Written{"shift+h+ctrl+ALT", "Ctrl+Alt+Shift+H"},
                    Written{" Control + Alt\t+ F12 ", "Ctrl+Alt+F12"},
                    Written{"Meta+Space", "Super+Space"}, Written{"Win+PageDown", "Super+PgDown"},
                    Written{"Alt+Shift+9", "Alt+Shift+9"},
                    Written{"ctrl+alt+delete", "Ctrl+Alt+Del"},
                    Written{"Super+Ctrl+F1", "Ctrl+Super+F1"}, Written{"Ctrl+Insert", "Ctrl+Ins"},
                    Written{"Alt+Left", "Alt+Left"}, Written{"Alt+Z", "Alt+Z"}));

// The grab takes these values as they are: X core key masks and key symbols.
TEST(ChordTest, ModifiersAndKeysAreTheWindowSystemsValues) {
  const auto chord = ParseChord("Ctrl+Alt+Shift+H");
  ASSERT_TRUE(chord);
  EXPECT_EQ(chord->modifiers, 0x1 | 0x4 | 0x8);
  EXPECT_EQ(chord->keysym, 0x68U);  // h
  EXPECT_EQ(ParseChord("Super+F12")->modifiers, 0x40);
  EXPECT_EQ(ParseChord("Super+F12")->keysym, 0xffc9U);
  EXPECT_EQ(ParseChord("Ctrl+7")->keysym, 0x37U);
  EXPECT_EQ(ParseChord("Ctrl+PgUp")->keysym, 0xff55U);
}

class RefusedChordTest : public testing::TestWithParam<std::string> {};

TEST_P(RefusedChordTest, IsNoChord) { EXPECT_FALSE(ParseChord(GetParam())) << GetParam(); }

INSTANTIATE_TEST_SUITE_P(
    Texts, RefusedChordTest,
    testing::Values(
        // nothing, or no key
        "", " ", "Ctrl+Alt", "Ctrl+Alt+Shift",
        // no modifier, or Shift alone: it would take a letter from everyone's typing
        "H", "F5", "Shift+H",
        // a modifier twice, under one name or two; two keys
        "Ctrl+Ctrl+H", "Ctrl+Control+H", "Meta+Super+H", "Ctrl+H+J",
        // empty names
        "Ctrl++H", "Ctrl+H+", "+Ctrl+H", "Ctrl+ +H",
        // unknown names
        "Ctrl+Hyper+H", "Ctrl+F13", "Ctrl+F0", "Ctrl+F01", "Ctrl+Esc", "Ctrl+hh", "Ctrl-Alt-H",
        // bytes outside printable ASCII
        "Ctrl+Alt+\xC3\x9C", "Ctrl+Alt+\nH", std::string("Ctrl+Alt+H\0", 11),
        // past the length read: blanks inside are allowed, but not without end
        "Ctrl+" + std::string(hotkey::kMaxChordText - 6, ' ') + "H" + " "));

TEST(ChordTest, TheLongestTextReadIsKMaxChordText) {
  const std::string padded = "Ctrl+" + std::string(hotkey::kMaxChordText - 6, ' ') + "H";
  ASSERT_EQ(padded.size(), hotkey::kMaxChordText);
  EXPECT_TRUE(ParseChord(padded));
}

}  // namespace
