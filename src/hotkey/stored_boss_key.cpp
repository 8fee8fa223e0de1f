#include "hotkey/stored_boss_key.h"

#include "settings/settings_schema.h"

namespace hotkey {

Chord DefaultChord() {
  // The default is a constant of the settings schema; it always reads.
  return *ParseChord(settings::RuleOf(settings::Key::kBossKey).fallback);
}

StoredBossKey ReadStoredBossKey(const std::optional<std::string>& stored) {
  if (!stored) return {DefaultChord(), false};
  if (stored->empty()) return {std::nullopt, false};
  const std::optional<Chord> chord = ParseChord(*stored);
  return {chord, !chord};
}

}  // namespace hotkey
