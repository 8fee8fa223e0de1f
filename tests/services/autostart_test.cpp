#include "services/autostart.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "settings/ini_class.h"
#include "settings/settings_schema.h"
#include "tests/support/temp_folder.h"

namespace {

using services::AutostartEntryText;
using settings::Key;
using test_support::ReadBytes;
using test_support::TempFolder;
using test_support::WriteBytes;

// The value of `key` in the entry, blanks after the '=' dropped as key files allow.
std::optional<std::string> ValueOf(const std::string& entry, const std::string& key) {
  std::istringstream lines(entry);
  std::string line;
  while (std::getline(lines, line)) {
    if (line.starts_with(key + "=")) {
      const std::size_t start = line.find_first_not_of(' ', key.size() + 1);
      return start == std::string::npos ? "" : line.substr(start);
    }
  }
  return std::nullopt;
}

// Undoes the escapes of a key-file string value; nullopt for an unknown one.
std::optional<std::string> StringUnescape(const std::string& value) {
  const std::string escaped = "sntr\\";
  const std::string meant = " \n\t\r\\";
  std::string result;
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\') {
      result += value[i];
    } else if (++i == value.size() || escaped.find(value[i]) == std::string::npos) {
      return std::nullopt;
    } else {
      result += meant[escaped.find(value[i])];
    }
  }
  return result;
}

// The one argument of an unescaped command line: reserved characters only inside double
// quotes, where '"', '`', '$' and '\' come only escaped by a backslash, which escapes nothing
// else, and "%%" for a percent sign.
// nullopt for anything else, several arguments and other field codes included.
std::optional<std::string> OnlyArgument(const std::string& line) {
  const std::string reserved = "\t\n\"' \\><~|&;$*?#()`";
  std::string argument;
  bool quoted = false;
  for (std::size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    const char next = i + 1 < line.size() ? line[i + 1] : '\0';
    if (c == '%') {
      if (next != '%') return std::nullopt;
      argument += line[++i];
    } else if (c == '"') {
      quoted = !quoted;
    } else if (quoted && c == '\\') {
      if (next == '\0' || std::string("\"`$\\").find(next) == std::string::npos) {
        return std::nullopt;
      }
      argument += line[++i];
    } else if ((!quoted || c == '`' || c == '$') && reserved.find(c) != std::string::npos) {
      return std::nullopt;
    } else {
      argument += c;
    }
  }
  if (quoted) return std::nullopt;
  return argument;
}

// The program an entry starts, read back by the rules a launcher follows.
std::optional<std::string> ProgramOf(const std::string& entry) {
  const std::optional<std::string> value = ValueOf(entry, "Exec");
  const std::optional<std::string> line = value ? StringUnescape(*value) : std::nullopt;
  return line ? OnlyArgument(*line) : std::nullopt;
}

TEST(AutostartTest, CommandPathAddsOneSeparator) {
  EXPECT_EQ(services::CommandPath("/opt/x"), "/opt/x/Tessal");
  EXPECT_EQ(services::CommandPath("/opt/x/"), "/opt/x/Tessal");
  EXPECT_EQ(services::CommandPath("/"), "/Tessal");
}

TEST(AutostartTest, EntryIsAnApplicationStartingTheProgram) {
  const std::string entry = AutostartEntryText("/opt/Tessal");
  EXPECT_TRUE(entry.starts_with("[Desktop Entry]\n"));
  EXPECT_EQ(ValueOf(entry, "Type"), "Application");
  EXPECT_EQ(ValueOf(entry, "Name"), "Tessal");
  EXPECT_EQ(ProgramOf(entry), "/opt/Tessal");
  EXPECT_TRUE(entry.ends_with('\n'));
}

TEST(AutostartTest, ExecEscapesTheArgumentThenTheString) {
  // Quoting turns \ into \\ and " into \", $ into \$; the string value then doubles every
  // backslash.
  EXPECT_EQ(ValueOf(AutostartEntryText("/a b\\c\"$"), "Exec"), R"("/a b\\\\c\\"\\$")");
}

TEST(AutostartTest, ExecEscapesEveryCharacterThatNeedsIt) {
  const std::string path = "/a`b$c\"d\\ef";
  const std::string entry = AutostartEntryText(path);
  EXPECT_EQ(ValueOf(entry, "Exec"), R"("/a\\`b\\$c\\"d\\\\ef")");
  EXPECT_EQ(ProgramOf(entry), path);
  // TryExec is a plain string: only the backslash is escaped.
  EXPECT_EQ(ValueOf(entry, "TryExec"), R"(/a`b$c"d\\ef)");
}

// The reader drops the blanks around a value; what is left still has to be the whole word.
TEST(AutostartTest, StoredValueThatOnlyBeginsWithTrueIsWrittenBackOff) {
  TempFolder folder;
  IniClass ini;
  ini.SetIniFile(folder.File("System.ini"));
  WriteBytes(ini.IniFileName(), "[System]\r\nAutoRun= trueish \r\n");
  settings::Write(ini, Key::kAutoRun,
                  settings::Normalised(Key::kAutoRun, settings::Read(ini, Key::kAutoRun)));
  EXPECT_EQ(settings::Read(ini, Key::kAutoRun), "False");
}

TEST(AutostartTest, AwkwardPathsSurviveTheRoundTrip) {
  for (const std::string path : {
           "/home/ann/my tools/Tessal",
           "/home/it's \"quoted\"/Tessal",
           "/mnt/c\\Program Files\\/Tessal",
           "/srv/$HOME/`id`/Tessal",
           "/opt/a;b&c|d>e<f~g*h?i#j(k)l/Tessal",
           "/home/用户/报价 工具/Tessal",
           "/trailing\\",
           "relative/Tessal",
       }) {
    SCOPED_TRACE(path);
    const std::string entry = AutostartEntryText(path);
    EXPECT_EQ(ProgramOf(entry), path);
    EXPECT_EQ(StringUnescape(ValueOf(entry, "TryExec").value_or("")), path);
    // Nothing of the path may end the line or start another key.
    EXPECT_EQ(std::count(entry.begin(), entry.end(), '\n'), 5);
  }
}

TEST(AutostartTest, PathsNoEntryCanNameGiveNoText) {
  for (const std::string& path :
       {std::string(), std::string("/opt/a\nExec=/bin/sh"), std::string("/opt/tab\there"),
        std::string("/opt/cr\r"), std::string("/opt/\xff\xfe"), std::string("/opt/nul\0x", 10),
        // GLib's launcher looks for the program before it undoes "%%", so no entry that both
        // it and the Desktop Entry rules accept can name a path with a percent sign.
        std::string("/srv/100%/Tessal"), std::string("/srv/%f %%/Tessal")}) {
    SCOPED_TRACE(path);
    EXPECT_EQ(AutostartEntryText(path), "");
  }
}

TEST(AutostartTest, SetCreatesTheFolderAndTheEntry) {
  TempFolder folder;
  const std::string autostart = folder.File("config/autostart");
  Code::SetRegValue(autostart, "vomra", "/opt/my tools/Tessal");
  EXPECT_EQ(Code::RegLastResult(), 0);

  const std::string entry = ReadBytes(autostart + "/vomra.desktop");
  EXPECT_EQ(ProgramOf(entry), "/opt/my tools/Tessal");
  struct stat info {};
  ASSERT_EQ(::stat(autostart.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);

  // A second write replaces the entry and leaves no temporary file behind.
  Code::SetRegValue(autostart + "/", "vomra", "/usr/local/Tessal");
  EXPECT_EQ(Code::RegLastResult(), 0);
  EXPECT_EQ(ProgramOf(ReadBytes(autostart + "/vomra.desktop")), "/usr/local/Tessal");
  std::vector<std::string> names;
  for (const auto& item : std::filesystem::directory_iterator(autostart)) {
    names.push_back(item.path().filename().string());
  }
  EXPECT_EQ(names, std::vector<std::string>{"vomra.desktop"});
}

TEST(AutostartTest, DeleteRemovesTheEntryOnce) {
  TempFolder folder;
  Code::SetRegValue(folder.path(), "vomra", "/opt/Tessal");
  ASSERT_EQ(Code::RegLastResult(), 0);
  WriteBytes(folder.File("other.desktop"), "[Desktop Entry]\n");

  Code::DeleteRegValue(folder.path(), "vomra");
  EXPECT_EQ(Code::RegLastResult(), 0);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"other.desktop"});

  Code::DeleteRegValue(folder.path(), "vomra");
  EXPECT_EQ(Code::RegLastResult(), ENOENT);
  Code::DeleteRegValue(folder.File("missing"), "vomra");
  EXPECT_EQ(Code::RegLastResult(), ENOENT);
}

TEST(AutostartTest, FailuresLandInTheLastResultOnly) {
  TempFolder folder;
  const std::string file = folder.File("plain");
  WriteBytes(file, "not a folder");

  Code::SetRegValue(folder.path(), "vomra", "/opt/Tessal");
  ASSERT_EQ(Code::RegLastResult(), 0);
  EXPECT_NO_THROW(Code::SetRegValue(file + "/autostart", "vomra", "/opt/Tessal"));
  EXPECT_NE(Code::RegLastResult(), 0);
  EXPECT_EQ(ReadBytes(file), "not a folder");

  // A folder in the entry's place cannot be replaced by a file.
  TempFolder blocked;
  ASSERT_EQ(::mkdir(blocked.File("vomra.desktop").c_str(), 0700), 0);
  EXPECT_NO_THROW(Code::SetRegValue(blocked.path(), "vomra", "/opt/Tessal"));
  EXPECT_NE(Code::RegLastResult(), 0);

  // A path no entry can name writes nothing.
  TempFolder untouched;
  EXPECT_NO_THROW(Code::SetRegValue(untouched.path(), "vomra", "/opt/a\nb/Tessal"));
  EXPECT_EQ(Code::RegLastResult(), EINVAL);
  EXPECT_TRUE(untouched.Entries().empty());
}

// The entry is our own file: a link in its place is replaced, and whatever it pointed at is
// left alone, existing or not.
TEST(AutostartTest, AnEntryThatIsALinkIsReplacedAndItsTargetLeftAlone) {
  namespace fs = std::filesystem;
  TempFolder folder;
  const std::string profile = folder.File("profile");
  WriteBytes(profile, "export PATH=/bin\n");
  const std::string autostart = folder.File("autostart");
  ASSERT_EQ(::mkdir(autostart.c_str(), 0700), 0);
  const std::string entry = autostart + "/vomra.desktop";
  for (const std::string& target : {profile, folder.File("missing")}) {
    SCOPED_TRACE(target);
    fs::remove(entry);
    fs::create_symlink(target, entry);
    Code::SetRegValue(autostart, "vomra", "/opt/Tessal");
    EXPECT_EQ(Code::RegLastResult(), 0);
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(entry)));
    EXPECT_EQ(ProgramOf(ReadBytes(entry)), "/opt/Tessal");
  }
  EXPECT_EQ(ReadBytes(profile), "export PATH=/bin\n");
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"autostart", "profile"}));
}

// What GLib's launcher makes of the entry: the program it names is a script that records the
// path it was started as. A folder no entry can name must give no entry at all.
struct LaunchCase {
  std::string folder;
  bool nameable;
};

void PrintTo(const LaunchCase& launch, std::ostream* out) { *out << '"' << launch.folder << '"'; }

class GioLaunchTest : public ::testing::TestWithParam<LaunchCase> {};

TEST_P(GioLaunchTest, AnEntryIsWrittenOnlyWhenTheLauncherStartsExactlyTheProgram) {
  TempFolder folder;
  const std::string program_dir = folder.File(GetParam().folder);
  ASSERT_EQ(::mkdir(program_dir.c_str(), 0700), 0);
  const std::string program = services::CommandPath(program_dir);
  const std::string record = folder.File("record");
  // Written aside and renamed, so that the record appears whole.
  WriteBytes(program, "#!/bin/sh\nprintf '%s' \"$0\" > '" + record + ".part' && mv '" + record +
                          ".part' '" + record + "'\n");
  ASSERT_EQ(::chmod(program.c_str(), 0700), 0);
  const std::string autostart = folder.File("autostart");
  Code::SetRegValue(autostart, "vomra", program);
  if (!GetParam().nameable) {
    EXPECT_NE(Code::RegLastResult(), 0);
    EXPECT_FALSE(std::filesystem::exists(autostart + "/vomra.desktop"));
    return;
  }
  ASSERT_EQ(Code::RegLastResult(), 0);
  if (std::system("command -v gio >/dev/null 2>&1") != 0) GTEST_SKIP() << "gio is not installed";
  const std::string launch = "gio launch '" + autostart + "/vomra.desktop' >/dev/null 2>&1";
  ASSERT_EQ(std::system(launch.c_str()), 0) << "the launcher refused the entry";
  // The launcher does not wait for the program: a bounded poll for its record.
  for (int i = 0; i < 1000 && !std::filesystem::exists(record); ++i) ::usleep(10000);
  EXPECT_EQ(ReadBytes(record), program);
}

INSTANTIATE_TEST_SUITE_P(Folders, GioLaunchTest,
                         ::testing::Values(LaunchCase{"q\"uote", true},
                                           LaunchCase{"back`tick", true},
                                           LaunchCase{"dol$lar", true},
                                           LaunchCase{"back\\slash", true},
                                           LaunchCase{"it's a space", true},
                                           LaunchCase{"报价 工具", true}, LaunchCase{"100%", false},
                                           LaunchCase{"%f", false}, LaunchCase{"caf\xe9", false}));

}  // namespace
