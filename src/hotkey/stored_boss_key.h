#pragma once

// What the stored BossKey value means: the chord to grab, or none.

#include <optional>
#include <string>

#include "hotkey/chord.h"

namespace hotkey {

struct StoredBossKey {
  std::optional<Chord> chord;  // nullopt: grab no chord
  bool refused = false;        // the file holds a value that is no chord
};

// `stored` is the key's value, nullopt when the file does not hold the key. A missing key is
// the default chord and an empty value none. A value that is no chord grabs none as well: the
// person wrote it to replace the default, and a global grab takes the chord away from every
// other program, so only a chord asked for (or the untouched default) is taken.
StoredBossKey ReadStoredBossKey(const std::optional<std::string>& stored);

// The default chord, the BossKey rule's fallback.
Chord DefaultChord();

}  // namespace hotkey
