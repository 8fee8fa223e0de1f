#include "server/live/sources_file.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>

#include "tests/support/temp_folder.h"

namespace live {
namespace {

using Paths = std::vector<std::filesystem::path>;

struct LookupCase {
  const char* name;
  std::map<std::string, std::string> environment;
  Paths expected;
};

void PrintTo(const LookupCase& lookup, std::ostream* out) { *out << lookup.name; }

class SourcesLookupTest : public ::testing::TestWithParam<LookupCase> {};

TEST_P(SourcesLookupTest, UserCopyThenInstalledThenBuildTree) {
  const std::map<std::string, std::string>& environment = GetParam().environment;
  const auto lookup = [&](const char* name) -> const char* {
    const auto found = environment.find(name);
    return found == environment.end() ? nullptr : found->second.c_str();
  };
  EXPECT_EQ(SourcesFileCandidates(lookup, "/usr/share/lumetta", "/src/build"), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Environments, SourcesLookupTest,
    ::testing::Values(
        LookupCase{"ConfigHome",
                   {{"XDG_CONFIG_HOME", "/cfg"}, {"HOME", "/home/u"}},
                   {"/cfg/lumetta/live-sources.ini", "/usr/share/lumetta/live-sources.ini",
                    "/src/build/data/live-sources.ini"}},
        LookupCase{"HomeWhenConfigHomeIsUnset",
                   {{"HOME", "/home/u"}},
                   {"/home/u/.config/lumetta/live-sources.ini",
                    "/usr/share/lumetta/live-sources.ini", "/src/build/data/live-sources.ini"}},
        LookupCase{"HomeWhenConfigHomeIsRelative",
                   {{"XDG_CONFIG_HOME", "cfg"}, {"HOME", "/home/u"}},
                   {"/home/u/.config/lumetta/live-sources.ini",
                    "/usr/share/lumetta/live-sources.ini", "/src/build/data/live-sources.ini"}},
        LookupCase{"DataDirFromTheEnvironment",
                   {{"XDG_CONFIG_HOME", ""}, {"LUMETTA_DATA_DIR", "/opt/data"}},
                   {"/opt/data/live-sources.ini", "/src/build/data/live-sources.ini"}}),
    [](const ::testing::TestParamInfo<LookupCase>& info) { return info.param.name; });

TEST(SourcesFileTest, TheFirstThatExistsIsTakenEvenWhenItCannotBeRead) {
  const test_support::TempFolder folder;
  const Paths candidates = {folder.File("user/live-sources.ini"),
                            folder.File("installed/live-sources.ini"),
                            folder.File("build/live-sources.ini")};
  EXPECT_EQ(FirstExisting(candidates), std::filesystem::path());
  std::filesystem::create_directories(folder.File("build"));
  test_support::WriteBytes(candidates[2], "");
  EXPECT_EQ(FirstExisting(candidates), candidates[2]);
  std::filesystem::create_directories(folder.File("installed"));
  test_support::WriteBytes(candidates[1], "");
  EXPECT_EQ(FirstExisting(candidates), candidates[1]);
  // A user's copy that is a broken link still shadows the installed file, and is refused.
  std::filesystem::create_directories(folder.File("user"));
  std::filesystem::create_symlink(folder.File("nowhere"), candidates[0]);
  EXPECT_EQ(FirstExisting(candidates), candidates[0]);
  const auto loaded = LoadSourcesFile(candidates[0]);
  ASSERT_TRUE(std::holds_alternative<std::string>(loaded));
  EXPECT_EQ(std::get<std::string>(loaded), candidates[0].string() + ": not a readable file");
}

TEST(SourcesFileTest, LoadsTheShippedFileAndRefusesAnOverlongOne) {
  const auto shipped = LoadSourcesFile(LUMETTA_SHIPPED_SOURCES);
  ASSERT_TRUE(std::holds_alternative<LiveConfig>(shipped)) << std::get<std::string>(shipped);
  EXPECT_EQ(std::get<LiveConfig>(shipped).products.size(), 17u);

  const test_support::TempFolder folder;
  const std::string file = folder.File("long.ini");
  test_support::WriteBytes(file, std::string(kMaxSourcesFileBytes + 1, '#'));
  const auto refused = LoadSourcesFile(file);
  ASSERT_TRUE(std::holds_alternative<std::string>(refused));
  EXPECT_EQ(std::get<std::string>(refused), file + ": longer than 1 MiB");
}

}  // namespace
}  // namespace live
