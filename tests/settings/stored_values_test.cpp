// Start-up's reading of stored texts that the panel tests do not reach directly.

#include "settings/stored_values.h"

#include <gtest/gtest.h>

namespace {

TEST(StoredValuesTest, SettingsFileSitsInTheProgramFolderWithOneSeparator) {
  EXPECT_EQ(settings::SettingsFilePath("/opt/lumetta"), "/opt/lumetta/System.ini");
  // The root, like a drive root, already ends in its separator.
  EXPECT_EQ(settings::SettingsFilePath("/"), "/System.ini");
  EXPECT_EQ(settings::SettingsFilePath("/opt/lumetta/"), "/opt/lumetta/System.ini");
}

TEST(StoredValuesTest, PositionsAreSavedAsPlainDecimals) {
  EXPECT_EQ(settings::FormatSingle(7200.0F), "7200");
  EXPECT_EQ(settings::FormatSingle(-150.0F), "-150");
  EXPECT_EQ(settings::FormatSingle(1234.5F), "1234.5");
  // And what is saved reads back as the same place.
  const auto position =
      settings::ReadStoredPosition(settings::FormatSingle(491505.0F), settings::FormatSingle(15));
  ASSERT_TRUE(position.has_value());
  EXPECT_EQ(position->left, 491505);
  EXPECT_EQ(position->top, 15);
}

}  // namespace
