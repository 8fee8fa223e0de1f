// The program's folder comes as the file system's bytes, whatever they are.

#include "settings/program_folder.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "settings/settings_location.h"
#include "tests/support/temp_folder.h"

namespace {

using test_support::TempFolder;

TEST(ProgramFolderTest, FolderOfCutsAtTheLastSeparator) {
  EXPECT_EQ(settings::FolderOf("/opt/a b/Tessal"), "/opt/a b");
  EXPECT_EQ(settings::FolderOf("/Tessal"), "/");
  EXPECT_EQ(settings::FolderOf("Tessal"), "");
}

// A folder whose name is not UTF-8, or holds characters a shell or a desktop entry treats
// specially, comes back byte for byte from the link that names the executable.
TEST(ProgramFolderTest, TheLinksTargetFolderComesBackAsItsBytes) {
  TempFolder folder;
  const std::string odd = folder.File("\xff\xfe caf\xe9 %\"`$\\");
  ASSERT_EQ(::mkdir(odd.c_str(), 0700), 0);
  const std::string link = folder.File("exe");
  ASSERT_EQ(::symlink((odd + "/Tessal").c_str(), link.c_str()), 0);
  EXPECT_EQ(settings::RunningProgramFolder(link), odd);
  EXPECT_EQ(settings::RunningProgramFolder(folder.File("missing")), "");
  // Settings stay beside a copy in such a folder of the user's own.
  EXPECT_EQ(settings::SettingsFileFor(odd), odd + "/System.ini");
}

TEST(ProgramFolderTest, AnUnknownFolderKeepsTheSettingsInTheConfigurationFolder) {
  settings::ProgramFolder unknown;
  unknown.writable = true;
  EXPECT_EQ(settings::ChooseSettingsFile(unknown, "/home/u/.config"),
            "/home/u/.config/lumetta/System.ini");
}

}  // namespace
