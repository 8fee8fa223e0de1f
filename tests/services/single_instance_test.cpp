#include "services/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <filesystem>
#include <memory>
#include <optional>
#include <string>

#include "settings/stored_values.h"
#include "tests/support/temp_folder.h"

namespace {

using services::InstanceKey;

// The key of the panel whose settings file lies in `folder`.
std::string KeyOf(const std::string& folder) {
  return InstanceKey(settings::SettingsFilePath(folder));
}
using services::ReadRequest;
using services::SingleInstance;
using test_support::TempFolder;
using test_support::WriteBytes;
using State = SingleInstance::State;

bool CloseOnExec(int fd) { return (::fcntl(fd, F_GETFD) & FD_CLOEXEC) != 0; }

// Waits, bounded, until `fd` has something to read.
bool Readable(int fd) {
  pollfd entry{fd, POLLIN, 0};
  return ::poll(&entry, 1, 5000) == 1;
}

// The request a later start left with `first`, read as the panel reads it.
std::optional<char> NextRequest(const SingleInstance& first) {
  if (!Readable(first.listen_descriptor())) return std::nullopt;
  const int connection = first.Accept();
  if (connection < 0) return std::nullopt;
  EXPECT_TRUE(CloseOnExec(connection));
  std::optional<char> request;
  if (Readable(connection)) request = ReadRequest(connection);
  ::close(connection);
  return request;
}

// Each test's folder is fresh, so its key is one no other test or program holds.
class SingleInstanceTest : public ::testing::Test {
 protected:
  std::string Key() const { return KeyOf(folder_.path()); }

  TempFolder folder_;
};

TEST_F(SingleInstanceTest, FirstStartHoldsTheNameAndLeavesNothingOnDisk) {
  const SingleInstance first(Key());
  EXPECT_EQ(first.state(), State::kFirst);
  ASSERT_GE(first.listen_descriptor(), 0);
  EXPECT_TRUE(CloseOnExec(first.listen_descriptor()));
  EXPECT_TRUE(folder_.Entries().empty());
  // Nobody has called yet.
  EXPECT_EQ(first.Accept(), -1);
}

TEST_F(SingleInstanceTest, SecondStartFindsTheFirstAndItsRequestArrives) {
  const SingleInstance first(Key());
  ASSERT_EQ(first.state(), State::kFirst);

  const SingleInstance second(Key());
  EXPECT_EQ(second.state(), State::kRunning);
  EXPECT_EQ(second.listen_descriptor(), -1);
  EXPECT_EQ(second.Accept(), -1);
  EXPECT_EQ(NextRequest(first), services::kShowRequest);
  EXPECT_EQ(first.Accept(), -1);
  EXPECT_EQ(first.state(), State::kFirst);
}

TEST_F(SingleInstanceTest, AnotherFolderIsAnotherPanel) {
  const TempFolder other;
  const SingleInstance first(Key());
  const SingleInstance elsewhere(KeyOf(other.path()));
  EXPECT_EQ(first.state(), State::kFirst);
  EXPECT_EQ(elsewhere.state(), State::kFirst);
  EXPECT_EQ(first.Accept(), -1);
  EXPECT_EQ(elsewhere.Accept(), -1);
}

TEST_F(SingleInstanceTest, NameIsFreeAgainOnceTheFirstHasEnded) {
  auto first = std::make_unique<SingleInstance>(Key());
  ASSERT_EQ(first->state(), State::kFirst);
  first.reset();
  const SingleInstance next(Key());
  EXPECT_EQ(next.state(), State::kFirst);
  EXPECT_EQ(SingleInstance(Key()).state(), State::kRunning);
}

TEST_F(SingleInstanceTest, KeyIsTheSettingsFilesRealPath) {
  const std::string real = std::filesystem::canonical(folder_.path()).string();
  EXPECT_EQ(Key(), real + "/System.ini");
  EXPECT_EQ(KeyOf(folder_.path() + "/"), Key());
  EXPECT_EQ(KeyOf(folder_.path() + "/./sub/.."), Key());
  const TempFolder other;
  EXPECT_NE(KeyOf(other.path()), Key());
}

TEST_F(SingleInstanceTest, FolderReachedThroughALinkIsTheSamePanel) {
  const TempFolder links;
  const std::string link = links.File("panel");
  std::filesystem::create_directory_symlink(folder_.path(), link);
  EXPECT_EQ(KeyOf(link), Key());

  const SingleInstance first(Key());
  ASSERT_EQ(first.state(), State::kFirst);
  EXPECT_EQ(SingleInstance(KeyOf(link)).state(), State::kRunning);
  EXPECT_EQ(NextRequest(first), services::kShowRequest);
}

TEST_F(SingleInstanceTest, SettingsFileLinkedFromAnotherFolderIsThatFoldersPanel) {
  WriteBytes(folder_.File("System.ini"), "[System]\r\n");
  const TempFolder other;
  std::filesystem::create_symlink(folder_.File("System.ini"), other.File("System.ini"));
  EXPECT_EQ(KeyOf(other.path()), Key());
}

}  // namespace
