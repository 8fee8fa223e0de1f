#include "hotkey/stored_boss_key.h"

#include <gtest/gtest.h>

#include <optional>
#include <ostream>
#include <string>

#include "settings/ini_class.h"
#include "settings/settings_schema.h"
#include "tests/support/temp_folder.h"

namespace {

using hotkey::ReadStoredBossKey;
using test_support::TempFolder;
using test_support::WriteBytes;

struct Stored {
  std::string file;                 // System.ini as written
  std::optional<std::string> grab;  // the chord grabbed, as text; nullopt: none
  bool refused;
  friend void PrintTo(const Stored& stored, std::ostream* out) { *out << stored.file; }
};

class StoredBossKeyTest : public testing::TestWithParam<Stored> {};

// Read through the settings file, where a missing key and an empty value differ.
TEST_P(StoredBossKeyTest, GrabsWhatTheFileAsksFor) {
  TempFolder folder;
  const std::string path = folder.File("System.ini");
  WriteBytes(path, GetParam().file);
  IniClass ini;
  ini.SetIniFile(path);
  const hotkey::StoredBossKey stored =
      ReadStoredBossKey(settings::Find(ini, settings::Key::kBossKey));
  EXPECT_EQ(stored.refused, GetParam().refused);
  ASSERT_EQ(stored.chord.has_value(), GetParam().grab.has_value());
  if (stored.chord) {
    EXPECT_EQ(hotkey::ChordText(*stored.chord), *GetParam().grab);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Files, StoredBossKeyTest,
    testing::Values(Stored{"", "Ctrl+Alt+Shift+H", false},
                    Stored{"[System]\r\nPriceType=au\r\n", "Ctrl+Alt+Shift+H", false},
                    // the key in another section is not the panel's
                    Stored{"[Other]\r\nBossKey=\r\n", "Ctrl+Alt+Shift+H", false},
                    Stored{"[System]\r\nBossKey=\r\n", std::nullopt, false},
                    Stored{"[System]\r\nBossKey=   \r\n", std::nullopt, false},
                    Stored{"[system]\r\nbosskey=alt+super+b\r\n", "Alt+Super+B", false},
                    Stored{"[System]\r\nBossKey=\"Ctrl+F9\"\r\n", "Ctrl+F9", false},
                    // written to replace the default, so the default is not taken either
                    Stored{"[System]\r\nBossKey=none\r\n", std::nullopt, true},
                    Stored{"[System]\r\nBossKey=Shift+H\r\n", std::nullopt, true}));

}  // namespace
