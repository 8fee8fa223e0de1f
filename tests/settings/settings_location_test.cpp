// Where System.ini goes: beside a copy in the user's own folder, in the user's configuration
// folder for an installed one.

#include "settings/settings_location.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "settings/ini_class.h"
#include "tests/support/temp_folder.h"

namespace {

using settings::ChooseSettingsFile;
using settings::ProgramFolder;
using test_support::TempFolder;

ProgramFolder Folder(bool has_settings, bool writable, bool installed) {
  return ProgramFolder{"/opt/lumetta", has_settings, writable, installed};
}

TEST(SettingsLocationTest, SettingsStayBesideACopyOfTheUsersOwnOrWhereTheyAlreadyAre) {
  const std::string beside = "/opt/lumetta/System.ini";
  const std::string config = "/home/u/.config/lumetta/System.ini";
  // A copy unpacked into a folder of the user's own, as before.
  EXPECT_EQ(ChooseSettingsFile(Folder(false, true, false), "/home/u/.config"), beside);
  // Settings already beside the program are kept there, installed copy or not.
  EXPECT_EQ(ChooseSettingsFile(Folder(true, false, true), "/home/u/.config"), beside);
  EXPECT_EQ(ChooseSettingsFile(Folder(true, true, true), "/home/u/.config"), beside);
  // A folder the user cannot write would lose every choice.
  EXPECT_EQ(ChooseSettingsFile(Folder(false, false, false), "/home/u/.config"), config);
  // An installed copy run by someone who may write /usr/bin (root) still keeps its
  // settings out of the system's folders.
  EXPECT_EQ(ChooseSettingsFile(Folder(false, true, true), "/home/u/.config"), config);
  EXPECT_EQ(ChooseSettingsFile(Folder(false, true, true), "/home/u/.config/"), config);
  // With no configuration folder known there is nowhere better than beside the program.
  EXPECT_EQ(ChooseSettingsFile(Folder(false, false, true), ""), beside);
}

TEST(SettingsLocationTest, ConfigurationFolderFollowsTheBaseDirectoryRules) {
  EXPECT_EQ(settings::UserConfigFolder("/x/cfg", "/home/u"), "/x/cfg");
  // A relative XDG_CONFIG_HOME is invalid and ignored.
  EXPECT_EQ(settings::UserConfigFolder("cfg", "/home/u"), "/home/u/.config");
  EXPECT_EQ(settings::UserConfigFolder("", "/home/u/"), "/home/u/.config");
  EXPECT_EQ(settings::UserConfigFolder("", ""), "");
  EXPECT_EQ(settings::UserConfigFolder("", "relative"), "");
}

void Touch(const std::string& path) {
  std::filesystem::create_directories(std::filesystem::path(path).parent_path());
  std::ofstream(path) << "[System]\r\n";
}

TEST(SettingsLocationTest, ProbeTellsAnInstalledCopyByItsDesktopEntry) {
  const TempFolder root;
  const std::string bin = root.File("usr/bin");
  std::filesystem::create_directories(bin);
  ProgramFolder folder = settings::ProbeProgramFolder(bin);
  EXPECT_EQ(folder.path, bin);
  EXPECT_FALSE(folder.has_settings);
  EXPECT_TRUE(folder.writable);
  EXPECT_FALSE(folder.installed);

  Touch(root.File("usr/share/applications/lumetta.desktop"));
  EXPECT_TRUE(settings::ProbeProgramFolder(bin).installed);
  // A folder named System.ini is no settings file.
  std::filesystem::create_directory(bin + "/System.ini");
  EXPECT_FALSE(settings::ProbeProgramFolder(bin).has_settings);
  std::filesystem::remove(bin + "/System.ini");
  Touch(bin + "/System.ini");
  folder = settings::ProbeProgramFolder(bin);
  EXPECT_TRUE(folder.has_settings);
  EXPECT_EQ(ChooseSettingsFile(folder, root.File("config")), bin + "/System.ini");
}

// Unsets an environment variable for the life of the object.
class Unset {
 public:
  explicit Unset(const char* name) : name_(name) {
    const char* value = std::getenv(name);
    if (value != nullptr) saved_ = value;
    ::unsetenv(name);
  }
  ~Unset() {
    if (saved_) ::setenv(name_, saved_->c_str(), 1);
  }
  Unset(const Unset&) = delete;
  Unset& operator=(const Unset&) = delete;

 private:
  const char* name_;
  std::optional<std::string> saved_;
};

// Started without HOME (from a service, say), an installed copy still finds the user's home
// through the password database rather than falling back to its own folder.
TEST(SettingsLocationTest, WithoutHomeAnInstalledCopyAsksThePasswordDatabase) {
  const passwd* user = ::getpwuid(::getuid());
  ASSERT_NE(user, nullptr);
  const TempFolder root;
  const std::string bin = root.File("usr/bin");
  std::filesystem::create_directories(bin);
  Touch(root.File("usr/share/applications/lumetta.desktop"));
  const Unset home("HOME");
  const Unset config("XDG_CONFIG_HOME");
  EXPECT_EQ(settings::SettingsFileFor(bin),
            std::string(user->pw_dir) + "/.config/lumetta/System.ini");
}

TEST(SettingsLocationTest, FirstWriteCreatesTheConfigurationFolderForTheUserAlone) {
  const TempFolder home;
  const std::string file = ChooseSettingsFile(Folder(false, false, true), home.File(".config"));
  ASSERT_EQ(file, home.File(".config/lumetta/System.ini"));
  IniClass ini;
  ini.SetIniFile(file);
  EXPECT_EQ(ini.GetIniString("System", "PriceType"), "");
  ini.WriteIniString("System", "PriceType", "au");
  EXPECT_EQ(ini.GetIniString("System", "PriceType"), "au");
  struct stat facts {};
  ASSERT_EQ(::stat(home.File(".config/lumetta").c_str(), &facts), 0);
  EXPECT_EQ(facts.st_mode & 0777, 0700U);
  ASSERT_EQ(::stat(home.File(".config").c_str(), &facts), 0);
  EXPECT_EQ(facts.st_mode & 0777, 0700U);
}

}  // namespace
