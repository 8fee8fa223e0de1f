#include "settings/settings_schema.h"

#include <array>
#include <stdexcept>

#include "settings/ini_class.h"
#include "text/ascii_case.h"

namespace settings {
namespace {

constexpr std::array<std::string_view, 3> kRefreshTimes = {"3", "5", "10"};
constexpr std::array<std::string_view, 7> kTransparents = {"20", "30", "40", "50",
                                                           "60", "70", "80"};
constexpr std::array<std::string_view, 2> kLockStates = {"Lock", "UnLock"};
constexpr std::array<std::string_view, 2> kAutoRuns = {"True", "False"};

constexpr std::array<KeyRule, 7> kRules = {{
    {"PriceType", "icbcrmbgold", {}, true},
    {"RefreshTime", "5", kRefreshTimes, false},
    {"Left", "", {}, false},
    {"Top", "", {}, false},
    {"LockState", "UnLock", kLockStates, true},
    {"Transparent", "50", kTransparents, false},
    {"AutoRun", "False", kAutoRuns, true},
}};

}  // namespace

const KeyRule& RuleOf(Key key) {
  const auto index = static_cast<std::size_t>(key);
  if (index >= kRules.size()) throw std::invalid_argument("unknown settings key");
  return kRules[index];
}

std::string_view AcceptedSpelling(Key key, std::string_view stored) {
  const KeyRule& rule = RuleOf(key);
  for (const std::string_view accepted : rule.accepted) {
    if (rule.ignore_case ? text::EqualsIgnoreAsciiCase(stored, accepted) : stored == accepted) {
      return accepted;
    }
  }
  return {};
}

std::string KeepOrFallback(Key key, std::string_view stored) {
  return std::string(AcceptedSpelling(key, stored).empty() ? RuleOf(key).fallback : stored);
}

std::string CanonicalOrFallback(Key key, std::string_view stored) {
  const std::string_view accepted = AcceptedSpelling(key, stored);
  return std::string(accepted.empty() ? RuleOf(key).fallback : accepted);
}

std::string Read(const IniClass& ini, Key key) {
  return ini.GetIniString(std::string(kSection), std::string(RuleOf(key).name));
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
