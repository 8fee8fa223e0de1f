#include "settings/ini_class.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "settings/profile_file.h"
#include "settings/settings_schema.h"
#include "tests/support/temp_folder.h"

namespace {

using namespace std::string_literals;
using test_support::ReadBytes;
using test_support::TempFolder;
using test_support::WriteBytes;

class IniClassTest : public testing::Test {
 protected:
  TempFolder folder_;
  IniClass ini_;
  const std::string path_ = folder_.File("System.ini");
};

TEST_F(IniClassTest, FirstRunAndExitWriteKeysInTheirFirstWrittenOrder) {
  ini_.SetIniFile(path_);
  EXPECT_EQ(ini_.GetIniString("System", "PriceType"), "");
  ini_.WriteIniString("System", "PriceType", "icbcrmbgold");
  ini_.WriteIniString("System", "RefreshTime", "5");
  ini_.WriteIniString("System", "Transparent", "50");
  ini_.WriteIniString("System", "LockState", "UnLock");
  ini_.WriteIniString("System", "Transparent", "50");
  ini_.WriteIniString("System", "AutoRun", "False");
  ini_.WriteIniString("System", "Left", "7200");
  ini_.WriteIniString("System", "Top", "3000");
  ini_.WriteIniString("System", "PriceType", "au9999");
  EXPECT_EQ(ReadBytes(path_),
            "[System]\r\n"
            "PriceType=au9999\r\n"
            "RefreshTime=5\r\n"
            "Transparent=50\r\n"
            "LockState=UnLock\r\n"
            "AutoRun=False\r\n"
            "Left=7200\r\n"
            "Top=3000\r\n");
  EXPECT_EQ(ini_.GetIniString("System", "Left"), "7200");
}

TEST_F(IniClassTest, ReadsTrimSpacesAndDropNuls) {
  std::string long_value(2000, 'q');
  WriteBytes(path_,
             "[System]\r\n"
             "Transparent=  50  \r\n"
             "Padded=\"  60  \"\r\n"
             "Blank=\"   \"\r\n"
             "Empty=\r\n"
             "Nul=a\0b\r\n"
             "Long="s +
                 long_value + "\r\n");
  ini_.SetIniFile(path_);
  EXPECT_EQ(ini_.GetIniString("System", "Transparent"), "50");
  // Spaces at the end of the value itself stand before the terminating NUL and stay.
  EXPECT_EQ(ini_.GetIniString("System", "Padded"), "60  ");
  EXPECT_EQ(ini_.GetIniString("System", "Blank"), "");
  EXPECT_EQ(ini_.GetIniString("System", "Empty"), "");
  EXPECT_EQ(ini_.GetIniString("System", "Missing"), "");
  EXPECT_EQ(ini_.GetIniString("Other", "Transparent"), "");
  EXPECT_EQ(ini_.GetIniString("System", "Nul"), "ab");
  EXPECT_EQ(ini_.GetIniString("System", "Long"), long_value.substr(0, 1023));
}

TEST_F(IniClassTest, WritesKeepTheFilesOwnSpellingAndOtherLines) {
  const std::string other_program =
      "; LF file from another editor\n"
      "[Other]\n"
      "PriceType=ignored\n"
      "[system]\n"
      "pricetype = 'gold'\n"
      "\n";
  WriteBytes(path_, other_program);
  ini_.SetIniFile(path_);
  EXPECT_EQ(ini_.GetIniString("System", "PriceType"), "gold");
  ini_.WriteIniString("System", "PriceType", "rmb");
  ini_.WriteIniString("System", "AutoRun", "True");
  EXPECT_EQ(ReadBytes(path_),
            "; LF file from another editor\n"
            "[Other]\n"
            "PriceType=ignored\n"
            "[system]\n"
            "pricetype=rmb\n"
            "AutoRun=True\r\n"
            "\n");
}

TEST_F(IniClassTest, FailedOrImpossibleWritesAreIgnored) {
  // A file where the settings folder would have to be.
  WriteBytes(folder_.File("blocked"), "");
  ini_.SetIniFile(folder_.File("blocked/lumetta/System.ini"));
  ini_.WriteIniString("System", "PriceType", "rmb");
  EXPECT_EQ(ini_.GetIniString("System", "PriceType"), "");
  EXPECT_EQ(ReadBytes(folder_.File("blocked")), "");

  WriteBytes(path_, "[System]\r\nTop=1\r\n");
  ini_.SetIniFile(path_);
  ini_.WriteIniString("System", "Top", "2\r\nLeft=3");
  EXPECT_EQ(ReadBytes(path_), "[System]\r\nTop=1\r\n");
  EXPECT_EQ(folder_.Entries(), (std::vector<std::string>{"System.ini", "blocked"}));
}

TEST_F(IniClassTest, NothingIsReadOrWrittenBeforeThePathIsSet) {
  // Work inside the folder so that any file written under a relative name would show up there.
  WriteBytes(path_, "[System]\r\nPriceType=rmb\r\n");
  const std::string old_directory = std::filesystem::current_path();
  ASSERT_EQ(::chdir(folder_.path().c_str()), 0);
  ini_.SetIniFile("");
  const std::string read = ini_.GetIniString("System", "PriceType");
  ini_.WriteIniString("System", "Left", "7200");
  ASSERT_EQ(::chdir(old_directory.c_str()), 0);

  EXPECT_EQ(read, "");
  EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"System.ini"});
  EXPECT_EQ(ReadBytes(path_), "[System]\r\nPriceType=rmb\r\n");
}

TEST_F(IniClassTest, SettingTheFileClearsWhatKilledWritesLeftBehind) {
  namespace fs = std::filesystem;
  WriteBytes(path_, "[System]\r\nPriceType=rmb\r\n");
  const std::string stale = path_ + ".tmp-Ab12Cd";
  const std::string fresh = path_ + ".tmp-Ef34Gh";
  const std::string other = path_ + ".backup";
  for (const std::string& name : {stale, fresh, other}) WriteBytes(name, "partial");
  fs::last_write_time(stale, fs::file_time_type::clock::now() - std::chrono::minutes(5));
  fs::last_write_time(other, fs::file_time_type::clock::now() - std::chrono::minutes(5));

  ini_.SetIniFile(path_);
  EXPECT_FALSE(fs::exists(stale));
  // Another copy may be writing this one right now; and other files are not ours.
  EXPECT_TRUE(fs::exists(fresh));
  EXPECT_TRUE(fs::exists(other));
  EXPECT_EQ(ini_.GetIniString("System", "PriceType"), "rmb");
}

// An alert key comes and goes with the person's choice; no other line moves, and removing
// one that is not there leaves the file untouched.
TEST_F(IniClassTest, AnAlertKeyIsWrittenAndRemovedAloneOnTheDisk) {
  const std::string before = "[System]\r\nPriceType=au\r\nLeft=1\r\n";
  WriteBytes(path_, before);
  ini_.SetIniFile(path_);
  settings::WriteAlert(ini_, "au", "542.30,");
  EXPECT_EQ(ReadBytes(path_), "[System]\r\nPriceType=au\r\nLeft=1\r\nAlert_au=542.30,\r\n");
  EXPECT_EQ(settings::ReadAlert(ini_, "au"), "542.30,");
  settings::DeleteAlert(ini_, "au");
  EXPECT_EQ(ReadBytes(path_), before);
  const auto written = std::filesystem::last_write_time(path_);
  std::filesystem::last_write_time(path_, written - std::chrono::hours(1));
  settings::DeleteAlert(ini_, "ag");
  EXPECT_EQ(std::filesystem::last_write_time(path_), written - std::chrono::hours(1));
}

// Start-up's writes made as one: reads see them at once, the disk only at the end, and the
// file ends byte for byte as the same writes one by one leave it (untouched when they change
// nothing).
class IniBatchTest : public testing::TestWithParam<std::optional<std::string>> {
 protected:
  static void StartWrites(IniClass& ini) {
    ini.WriteIniString("System", "PriceType", "au9999");
    ini.WriteIniString("System", "RefreshTime", "5");
    ini.DeleteIniString("System", "Alert_ag");
    ini.WriteIniString("System", "Top", "2\r\nLeft=3");
    ini.WriteIniString("System", "Transparent", "50");
  }
  TempFolder folder_;
};

TEST_P(IniBatchTest, EndsAsTheWritesOneByOne) {
  namespace fs = std::filesystem;
  // In folders still to be made when the file is missing.
  const std::string single = folder_.File("single/System.ini");
  const std::string batched = folder_.File("batched/System.ini");
  const auto long_ago = fs::file_time_type::clock::now() - std::chrono::hours(1);
  if (GetParam()) {
    for (const std::string& path : {single, batched}) {
      fs::create_directory(fs::path(path).parent_path());
      WriteBytes(path, *GetParam());
      fs::last_write_time(path, long_ago);
    }
  }
  IniClass one_by_one;
  one_by_one.SetIniFile(single);
  StartWrites(one_by_one);

  IniClass ini;
  ini.SetIniFile(batched);
  ini.BeginBatch();
  StartWrites(ini);
  EXPECT_EQ(ini.GetIniString("System", "PriceType"), "au9999");
  EXPECT_FALSE(ini.HasIniKey("System", "Alert_ag"));
  EXPECT_EQ(fs::exists(batched), GetParam().has_value());
  if (GetParam()) {
    EXPECT_EQ(ReadBytes(batched), *GetParam());
  }
  ini.EndBatch();

  EXPECT_EQ(ReadBytes(batched), ReadBytes(single));
  EXPECT_EQ(fs::last_write_time(batched) == long_ago, fs::last_write_time(single) == long_ago);
  // Later writes reach the disk at once again.
  ini.WriteIniString("System", "Left", "7200");
  EXPECT_EQ(profile::ReadString(batched, "System", "Left"), "7200");
}

INSTANTIATE_TEST_SUITE_P(
    Files, IniBatchTest,
    testing::Values(std::nullopt,
                    "; LF file from another editor\n[system]\npricetype = 'gold'\nAlert_ag=1,\n",
                    // Only the removal changes it, then nothing does.
                    "[System]\r\nPriceType=au9999\r\nRefreshTime=5\r\nAlert_ag=1,\r\n"
                    "Transparent=50\r\n",
                    "[System]\r\nPriceType=au9999\r\nRefreshTime=5\r\nTransparent=50\r\n"));

}  // namespace
