#pragma once

// A key chord as people write it ("Ctrl+Alt+Shift+H") and as the window system grabs it:
// modifier bits and a key symbol. Only chords that cannot be typed by accident are read:
// at least one of Ctrl, Alt or Super, and exactly one key that is not a modifier.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace hotkey {

// The modifier bits, with the values of the X core protocol's key masks (Alt is Mod1 and
// Super is Mod4 on every common keyboard map), so the edge passes them on as they are.
enum Modifier : std::uint16_t {
  kShift = 1U << 0,
  kControl = 1U << 2,
  kAlt = 1U << 3,
  kSuper = 1U << 6,
};

// The longest chord text read: far past every chord of the key table, short of any garbage.
inline constexpr std::size_t kMaxChordText = 64;

struct Chord {
  std::uint16_t modifiers = 0;  // Modifier bits
  std::uint32_t keysym = 0;     // the key's X key symbol: lower-case letters, digits, F1...
  friend bool operator==(const Chord&, const Chord&) = default;
};

// The chord of `text`: modifier names and one key name joined by '+', in any order and letter
// case, blanks around each name allowed. Names: Ctrl (Control), Alt, Shift, Super (Meta, Win);
// keys A-Z, 0-9, F1-F12, Space, Ins, Del, Home, End, PgUp, PgDown, Left, Up, Right, Down
// (Insert, Delete, PageUp, PageDown too). nullopt for an unknown name, a repeated modifier,
// no key or two, Shift alone or no modifier, an empty name, a text longer than kMaxChordText
// or one with a byte outside printable ASCII.
std::optional<Chord> ParseChord(std::string_view text);

// The chord's text in one spelling: "Ctrl+Alt+Shift+Super+" in that order, then the key's
// first name above ("Ctrl+Alt+Shift+H"). ParseChord reads it back as the same chord.
std::string ChordText(const Chord& chord);

}  // namespace hotkey
