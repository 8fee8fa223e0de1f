#include "settings/ini_class.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "temp_folder.h"

namespace {

using namespace std::string_literals;
using settings_test::ReadBytes;
using settings_test::TempFolder;
using settings_test::WriteBytes;

class IniClassTest : public testing::Test {
 protected:
  void TearDown() override { IniClass::SetIniFile(""); }

  TempFolder folder_;
  const std::string path_ = folder_.File("System.ini");
};

TEST_F(IniClassTest, FirstRunAndExitWriteKeysInTheirFirstWrittenOrder) {
  IniClass::SetIniFile(path_);
  EXPECT_EQ(IniClass::GetIniString("System", "PriceType"), "");
  IniClass::WriteIniString("System", "PriceType", "icbcrmbgold");
  IniClass::WriteIniString("System", "RefreshTime", "5");
  IniClass::WriteIniString("System", "Transparent", "50");
  IniClass::WriteIniString("System", "LockState", "UnLock");
  IniClass::WriteIniString("System", "Transparent", "50");
  IniClass::WriteIniString("System", "AutoRun", "False");
  IniClass::WriteIniString("System", "Left", "7200");
  IniClass::WriteIniString("System", "Top", "3000");
  IniClass::WriteIniString("System", "PriceType", "au9999");
  EXPECT_EQ(ReadBytes(path_),
            "[System]\r\n"
            "PriceType=au9999\r\n"
            "RefreshTime=5\r\n"
            "Transparent=50\r\n"
            "LockState=UnLock\r\n"
            "AutoRun=False\r\n"
            "Left=7200\r\n"
            "Top=3000\r\n");
  EXPECT_EQ(IniClass::GetIniString("System", "Left"), "7200");
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
  IniClass::SetIniFile(path_);
  EXPECT_EQ(IniClass::GetIniString("System", "Transparent"), "50");
  // Spaces at the end of the value itself stand before the terminating NUL and stay.
  EXPECT_EQ(IniClass::GetIniString("System", "Padded"), "60  ");
  EXPECT_EQ(IniClass::GetIniString("System", "Blank"), "");
  EXPECT_EQ(IniClass::GetIniString("System", "Empty"), "");
  EXPECT_EQ(IniClass::GetIniString("System", "Missing"), "");
  EXPECT_EQ(IniClass::GetIniString("Other", "Transparent"), "");
  EXPECT_EQ(IniClass::GetIniString("System", "Nul"), "ab");
  EXPECT_EQ(IniClass::GetIniString("System", "Long"), long_value.substr(0, 1023));
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
  IniClass::SetIniFile(path_);
  EXPECT_EQ(IniClass::GetIniString("System", "PriceType"), "gold");
  IniClass::WriteIniString("System", "PriceType", "rmb");
  IniClass::WriteIniString("System", "AutoRun", "True");
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
  IniClass::SetIniFile(folder_.File("missing/System.ini"));
  IniClass::WriteIniString("System", "PriceType", "rmb");
  EXPECT_EQ(IniClass::GetIniString("System", "PriceType"), "");

  WriteBytes(path_, "[System]\r\nTop=1\r\n");
  IniClass::SetIniFile(path_);
  IniClass::WriteIniString("System", "Top", "2\r\nLeft=3");
  EXPECT_EQ(ReadBytes(path_), "[System]\r\nTop=1\r\n");
  EXPECT_EQ(folder_.Entries(), std::vector<std::string>{"System.ini"});
}

TEST_F(IniClassTest, NothingIsReadOrWrittenBeforeThePathIsSet) {
  // Work inside the folder so that any file written under a relative name would show up there.
  WriteBytes(path_, "[System]\r\nPriceType=rmb\r\n");
  const std::string old_directory = std::filesystem::current_path();
  ASSERT_EQ(::chdir(folder_.path().c_str()), 0);
  IniClass::SetIniFile("");
  const std::string read = IniClass::GetIniString("System", "PriceType");
  IniClass::WriteIniString("System", "Left", "7200");
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

  IniClass::SetIniFile(path_);
  EXPECT_FALSE(fs::exists(stale));
  // Another copy may be writing this one right now; and other files are not ours.
  EXPECT_TRUE(fs::exists(fresh));
  EXPECT_TRUE(fs::exists(other));
  EXPECT_EQ(IniClass::GetIniString("System", "PriceType"), "rmb");
}

}  // namespace
