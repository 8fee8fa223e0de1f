#pragma once

// The keys of System.ini: their names in the file, the texts each accepts, what replaces
// anything else and how a stored text is normalised. Every reader and writer of the file names
// a key by its `Key`, so a key's spelling, its accepted texts and its default are written down
// here and nowhere else. The rules are constants, so that other code can check its own lists
// against them at compile time.

#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>

class IniClass;

namespace settings {

// The file's one section.
inline constexpr std::string_view kSection = "System";

enum class Key {
  kPriceType,
  kRefreshTime,
  kLeft,
  kTop,
  kLockState,
  kTransparent,
  kAutoRun,
  kBossKey,
};

// What `Normalised` makes of a stored text.
enum class Normaliser {
  // The stored text itself, in its own spelling, when it is accepted; else the fallback.
  kKeepSpelling,
  // The accepted text it matches, in the spelling of the list; else the fallback.
  kListSpelling,
  // The text as stored: the key's owner reads it (a position's number, a product code of the
  // catalogue).
  kNone,
};

struct KeyRule {
  // The key this rule belongs to; RuleOf(key).key == key is checked at compile time.
  Key key;
  std::string_view name;
  // The accepted texts; empty where the owner's own reading decides.
  std::span<const std::string_view> accepted;
  // What a text that is not accepted becomes; empty where nothing replaces it (a position).
  std::string_view fallback;
  // Whether letter case is ignored when a text is compared with the accepted ones.
  bool ignore_case;
  Normaliser normaliser;
};

// A known code keeps its letter case; quotes::ReadStoredProduct checks it against the catalogue.
inline constexpr KeyRule kPriceTypeRule = {
    .key = Key::kPriceType,
    .name = "PriceType",
    .accepted = {},
    .fallback = "icbcrmbgold",
    .ignore_case = true,
    .normaliser = Normaliser::kNone,
};

inline constexpr std::string_view kRefreshTimes[] = {"3", "5", "10"};
inline constexpr KeyRule kRefreshTimeRule = {
    .key = Key::kRefreshTime,
    .name = "RefreshTime",
    .accepted = kRefreshTimes,
    .fallback = "5",
    .ignore_case = false,
    .normaliser = Normaliser::kKeepSpelling,
};

// The window position in twips; settings::ReadStoredPosition reads both numbers together.
inline constexpr KeyRule kLeftRule = {
    .key = Key::kLeft,
    .name = "Left",
    .accepted = {},
    .fallback = "",
    .ignore_case = false,
    .normaliser = Normaliser::kNone,
};
inline constexpr KeyRule kTopRule = {
    .key = Key::kTop,
    .name = "Top",
    .accepted = {},
    .fallback = "",
    .ignore_case = false,
    .normaliser = Normaliser::kNone,
};

// "lock" in any case is passed on to the lock call as stored.
inline constexpr std::string_view kLockStates[] = {"Lock", "UnLock"};
inline constexpr KeyRule kLockStateRule = {
    .key = Key::kLockState,
    .name = "LockState",
    .accepted = kLockStates,
    .fallback = "UnLock",
    .ignore_case = true,
    .normaliser = Normaliser::kKeepSpelling,
};

inline constexpr std::string_view kTransparents[] = {"20", "30", "40", "50", "60", "70", "80"};
inline constexpr KeyRule kTransparentRule = {
    .key = Key::kTransparent,
    .name = "Transparent",
    .accepted = kTransparents,
    .fallback = "50",
    .ignore_case = false,
    .normaliser = Normaliser::kKeepSpelling,
};

// "true" in any case is on and is written back "True"; anything else is off.
inline constexpr std::string_view kAutoRuns[] = {"True", "False"};
inline constexpr KeyRule kAutoRunRule = {
    .key = Key::kAutoRun,
    .name = "AutoRun",
    .accepted = kAutoRuns,
    .fallback = "False",
    .ignore_case = true,
    .normaliser = Normaliser::kListSpelling,
};

// The chord that hides and shows the panel. A missing key means the default chord, an empty
// value no chord at all; hotkey::ReadStoredBossKey reads the rest. Written only when the person
// changes it, so a file without it stays as it is.
inline constexpr KeyRule kBossKeyRule = {
    .key = Key::kBossKey,
    .name = "BossKey",
    .accepted = {},
    .fallback = "Ctrl+Alt+Shift+H",
    .ignore_case = true,
    .normaliser = Normaliser::kNone,
};

namespace internal {

// Whether `key` names a key at all. A key without a case here does not compile (-Wswitch).
constexpr bool IsKey(Key key) {
  switch (key) {
    case Key::kPriceType:
    case Key::kRefreshTime:
    case Key::kLeft:
    case Key::kTop:
    case Key::kLockState:
    case Key::kTransparent:
    case Key::kAutoRun:
    case Key::kBossKey:
      return true;
  }
  return false;
}

}  // namespace internal

// The rule of `key`; a value that names no key throws std::invalid_argument. A key without a
// case here does not compile (-Wswitch). No pointer to a rule is compared here: the address
// sanitizer's build does not take such comparisons as constant.
constexpr const KeyRule& RuleOf(Key key) {
  switch (key) {
    case Key::kPriceType:
      return kPriceTypeRule;
    case Key::kRefreshTime:
      return kRefreshTimeRule;
    case Key::kLeft:
      return kLeftRule;
    case Key::kTop:
      return kTopRule;
    case Key::kLockState:
      return kLockStateRule;
    case Key::kTransparent:
      return kTransparentRule;
    case Key::kAutoRun:
      return kAutoRunRule;
    case Key::kBossKey:
      return kBossKeyRule;
  }
  throw std::invalid_argument("unknown settings key");
}

// Whether `text` is one of the key's accepted texts, exactly as listed: for lists elsewhere that
// must agree with the rule, checked at compile time.
constexpr bool IsListed(Key key, std::string_view text) {
  for (const std::string_view accepted : RuleOf(key).accepted) {
    if (accepted == text) return true;
  }
  return false;
}

// `stored` turned into the text the program uses, by the key's normaliser.
std::string Normalised(Key key, std::string_view stored);

// The key's value in the file's one section ("" when missing), and a write of it.
std::string Read(const IniClass& ini, Key key);
// The key's value, or nullopt when the file does not hold the key at all.
std::optional<std::string> Find(const IniClass& ini, Key key);
void Write(const IniClass& ini, Key key, const std::string& value);

// The family of alert keys, one per product that has an alert: `Alert_<code>`. Written only
// when the person sets or clears an alert, so a file without alerts never holds one.
std::string AlertKey(std::string_view code);
std::string ReadAlert(const IniClass& ini, std::string_view code);
void WriteAlert(const IniClass& ini, std::string_view code, const std::string& value);
void DeleteAlert(const IniClass& ini, std::string_view code);

}  // namespace settings
