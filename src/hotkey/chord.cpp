#include "hotkey/chord.h"

#include <array>

#include "text/ascii_case.h"
#include "text/split.h"

namespace hotkey {
namespace {

struct Name {
  std::string_view text;
  std::uint32_t value;
};

// The canonical spelling of each comes first.
constexpr std::array<Name, 7> kModifierNames = {{
    {"Ctrl", kControl},
    {"Alt", kAlt},
    {"Shift", kShift},
    {"Super", kSuper},
    {"Control", kControl},
    {"Meta", kSuper},
    {"Win", kSuper},
}};
constexpr std::array<std::uint16_t, 4> kModifierOrder = {kControl, kAlt, kShift, kSuper};
// A chord of Shift alone (or none) would take a letter from everyone's typing.
constexpr std::uint16_t kChordModifiers = kControl | kAlt | kSuper;

// X key symbols of the named keys; letters, digits and F1-F12 are counted out below.
constexpr std::uint32_t kF1 = 0xffbe;
constexpr int kFunctionKeys = 12;
constexpr std::array<Name, 15> kKeyNames = {{
    {"Space", 0x0020},
    {"Ins", 0xff63},
    {"Del", 0xffff},
    {"Home", 0xff50},
    {"End", 0xff57},
    {"PgUp", 0xff55},
    {"PgDown", 0xff56},
    {"Left", 0xff51},
    {"Up", 0xff52},
    {"Right", 0xff53},
    {"Down", 0xff54},
    {"Insert", 0xff63},
    {"Delete", 0xffff},
    {"PageUp", 0xff55},
    {"PageDown", 0xff56},
}};

template <std::size_t N>
std::optional<std::uint32_t> Lookup(const std::array<Name, N>& names, std::string_view text) {
  for (const Name& name : names) {
    if (text::EqualsIgnoreAsciiCase(text, name.text)) return name.value;
  }
  return std::nullopt;
}

std::optional<std::uint32_t> KeySymbol(std::string_view name) {
  if (name.size() == 1) {
    const char c = text::AsciiLower(name[0]);
    if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return static_cast<std::uint32_t>(c);
    return std::nullopt;
  }
  if (name.size() <= 3 && (name[0] == 'F' || name[0] == 'f')) {
    int number = 0;
    for (const char c : name.substr(1)) {
      if (c < '0' || c > '9') return std::nullopt;
      number = number * 10 + (c - '0');
    }
    // "F01" is no key's name.
    if (name[1] == '0' || number < 1 || number > kFunctionKeys) return std::nullopt;
    return kF1 + static_cast<std::uint32_t>(number - 1);
  }
  return Lookup(kKeyNames, name);
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<Chord> ParseChord(std::string_view text) {
  // Any other byte (a line break, a NUL, non-ASCII) is in no name, so it is refused below.
  if (text.size() > kMaxChordText) return std::nullopt;
  Chord chord;
  bool has_key = false;
  for (const std::string_view piece : text::SplitAll(text, "+")) {
    const std::string_view name = TrimBlanks(piece);
    if (name.empty()) return std::nullopt;
    if (const std::optional<std::uint32_t> modifier = Lookup(kModifierNames, name)) {
      if ((chord.modifiers & *modifier) != 0) return std::nullopt;
      chord.modifiers = static_cast<std::uint16_t>(chord.modifiers | *modifier);
    } else if (const std::optional<std::uint32_t> keysym = KeySymbol(name)) {
      if (has_key) return std::nullopt;
      has_key = true;
      chord.keysym = *keysym;
    } else {
      return std::nullopt;
    }
  }
  if (!has_key || (chord.modifiers & kChordModifiers) == 0) return std::nullopt;
  return chord;
}

std::string ChordText(const Chord& chord) {
  std::string text;
  for (const std::uint16_t modifier : kModifierOrder) {
    if ((chord.modifiers & modifier) == 0) continue;
    for (const Name& name : kModifierNames) {
      if (name.value == modifier) {
        text.append(name.text).append("+");
        break;
      }
    }
  }
  const std::uint32_t key = chord.keysym;
  if ((key >= 'a' && key <= 'z') || (key >= '0' && key <= '9')) {
    text += static_cast<char>(key >= 'a' ? key - 'a' + 'A' : key);
  } else if (key >= kF1 && key < kF1 + kFunctionKeys) {
    text += 'F';
    text += std::to_string(key - kF1 + 1);
  } else {
    for (const Name& name : kKeyNames) {
      if (name.value == key) {
        text.append(name.text);
        break;
      }
    }
  }
  return text;
}

}  // namespace hotkey
