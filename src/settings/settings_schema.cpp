#include "settings/settings_schema.h"

#include "settings/ini_class.h"
#include "text/ascii_case.h"

namespace settings {
namespace {

// The enumerators run from zero; the first value past the last one has no rule.
constexpr int CountKeys() {
  int count = 0;
  while (internal::IsKey(static_cast<Key>(count))) ++count;
  return count;
}
constexpr int kKeyCount = CountKeys();

constexpr bool EveryKeyHasItsOwnRule() {
  for (int i = 0; i < kKeyCount; ++i) {
    if (RuleOf(static_cast<Key>(i)).key != static_cast<Key>(i)) return false;
  }
  return true;
}
static_assert(EveryKeyHasItsOwnRule(), "a case of RuleOf returns another key's rule");

constexpr bool NamesAreDistinct() {
  for (int i = 0; i < kKeyCount; ++i) {
    for (int j = 0; j < i; ++j) {
      if (RuleOf(static_cast<Key>(i)).name == RuleOf(static_cast<Key>(j)).name) return false;
    }
  }
  return true;
}
static_assert(NamesAreDistinct(), "two keys share a name in the file");

// A fallback the reader would refuse on the next start would be rewritten at every start.
constexpr bool FallbacksAreAccepted() {
  for (int i = 0; i < kKeyCount; ++i) {
    const Key key = static_cast<Key>(i);
    if (RuleOf(key).normaliser != Normaliser::kNone && !IsListed(key, RuleOf(key).fallback)) {
      return false;
    }
  }
  return true;
}
static_assert(FallbacksAreAccepted(), "a fallback is not one of its key's accepted texts");

// The accepted text that `stored` matches, in the spelling of the list; the empty view when
// it matches none.
std::string_view AcceptedSpelling(const KeyRule& rule, std::string_view stored) {
  for (const std::string_view accepted : rule.accepted) {
    if (rule.ignore_case ? text::EqualsIgnoreAsciiCase(stored, accepted) : stored == accepted) {
      return accepted;
    }
  }
  return {};
}

}  // namespace

std::string Normalised(Key key, std::string_view stored) {
  const KeyRule& rule = RuleOf(key);
  switch (rule.normaliser) {
    case Normaliser::kKeepSpelling:
      return std::string(AcceptedSpelling(rule, stored).empty() ? rule.fallback : stored);
    case Normaliser::kListSpelling: {
      const std::string_view accepted = AcceptedSpelling(rule, stored);
      return std::string(accepted.empty() ? rule.fallback : accepted);
    }
    case Normaliser::kNone:
      break;
  }
  return std::string(stored);
}

std::string Read(const IniClass& ini, Key key) {
  return ini.GetIniString(std::string(kSection), std::string(RuleOf(key).name));
}

std::optional<std::string> Find(const IniClass& ini, Key key) {
  if (!ini.HasIniKey(std::string(kSection), std::string(RuleOf(key).name))) return std::nullopt;
  return Read(ini, key);
}

void Write(const IniClass& ini, Key key, const std::string& value) {
  ini.WriteIniString(std::string(kSection), std::string(RuleOf(key).name), value);
}

std::string AlertKey(std::string_view code) { return "Alert_" + std::string(code); }

std::string ReadAlert(const IniClass& ini, std::string_view code) {
  return ini.GetIniString(std::string(kSection), AlertKey(code));
}

void WriteAlert(const IniClass& ini, std::string_view code, const std::string& value) {
  ini.WriteIniString(std::string(kSection), AlertKey(code), value);
}

void DeleteAlert(const IniClass& ini, std::string_view code) {
  ini.DeleteIniString(std::string(kSection), AlertKey(code));
}

}  // namespace settings
