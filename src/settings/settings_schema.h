#pragma once

// The keys of System.ini: their names in the file, the texts each accepts and what replaces
// anything else. Every reader and writer of the file names a key by its `Key`, so a key's
// spelling, its accepted texts and its default are written down here and nowhere else.

#include <span>
#include <string>
#include <string_view>

class IniClass;

namespace settings {

// The file's one section.
inline constexpr std::string_view kSection = "System";

enum class Key { kPriceType, kRefreshTime, kLeft, kTop, kLockState, kTransparent, kAutoRun };

struct KeyRule {
  std::string_view name;
  // What a text that is not accepted becomes; empty where nothing replaces it (a position).
  std::string_view fallback;
  // The accepted texts; empty where the owner's own rule decides (a product code of the
  // catalogue, a number).
  std::span<const std::string_view> accepted;
  // Whether letter case is ignored when a text is compared with the accepted ones.
  bool ignore_case;
};

const KeyRule& RuleOf(Key key);

// The accepted text that `stored` matches, in the spelling of the list; the empty view when
// it matches none.
std::string_view AcceptedSpelling(Key key, std::string_view stored);

// `stored` itself when it is accepted (in its own spelling), else the fallback.
std::string KeepOrFallback(Key key, std::string_view stored);

// The accepted spelling of `stored`, else the fallback.
std::string CanonicalOrFallback(Key key, std::string_view stored);

// The key's value in the file's one section ("" when missing), and a write of it.
std::string Read(const IniClass& ini, Key key);
void Write(const IniClass& ini, Key key, const std::string& value);

// The family of alert keys, one per product that has an alert: `Alert_<code>`. Written only
// when the person sets or clears an alert, so a file without alerts never holds one.
std::string AlertKey(std::string_view code);
std::string ReadAlert(const IniClass& ini, std::string_view code);
void WriteAlert(const IniClass& ini, std::string_view code, const std::string& value);
void DeleteAlert(const IniClass& ini, std::string_view code);

}  // namespace settings
