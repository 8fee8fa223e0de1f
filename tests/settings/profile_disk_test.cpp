#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "settings/profile_file.h"
#include "tests/support/temp_folder.h"

namespace {

using test_support::ReadBytes;
using test_support::TempFolder;
using test_support::WriteBytes;

struct stat StatOf(const std::string& path) {
  struct stat result {};
  EXPECT_EQ(::lstat(path.c_str(), &result), 0) << path;
  return result;
}

// Restores the process's file-creation mask when a test ends.
class UmaskScope {
 public:
  explicit UmaskScope(mode_t mask) : old_(::umask(mask)) {}
  ~UmaskScope() { ::umask(old_); }
  UmaskScope(const UmaskScope&) = delete;
  UmaskScope& operator=(const UmaskScope&) = delete;

 private:
  mode_t old_;
};

TEST(ProfileDiskTest, FirstWriteCreatesTheFileAndLaterWritesExtendIt) {
  TempFolder folder;
  const std::string path = folder.File("System.ini");
  const UmaskScope umask_scope(027);

  EXPECT_EQ(profile::ReadString(path, "System", "PriceType"), "");
  EXPECT_TRUE(profile::WriteString(path, "System", "PriceType", "icbcrmbgold"));
  EXPECT_TRUE(profile::WriteString(path, "System", "RefreshTime", "5"));
  EXPECT_EQ(ReadBytes(path), "[System]\r\nPriceType=icbcrmbgold\r\nRefreshTime=5\r\n");
  EXPECT_EQ(profile::ReadString(path, "system", "refreshtime"), "5");
  // A new file gets the usual permissions under the process's mask.
  EXPECT_EQ(StatOf(path).st_mode & 07777, 0640u);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"System.ini"});
}

TEST(ProfileDiskTest, UnchangedValueLeavesTheFileAlone) {
  TempFolder folder;
  const std::string path = folder.File("System.ini");
  const std::string content = "[System]\nTransparent = 50\n";
  WriteBytes(path, content);
  const struct stat before = StatOf(path);

  EXPECT_TRUE(profile::WriteString(path, "System", "Transparent", "50"));
  const struct stat unchanged = StatOf(path);
  EXPECT_EQ(unchanged.st_ino, before.st_ino);
  EXPECT_EQ(unchanged.st_mtim.tv_sec, before.st_mtim.tv_sec);
  EXPECT_EQ(unchanged.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
  EXPECT_EQ(ReadBytes(path), content);

  // A real change replaces the file, which the same check notices.
  EXPECT_TRUE(profile::WriteString(path, "System", "Transparent", "60"));
  EXPECT_NE(StatOf(path).st_ino, before.st_ino);
  EXPECT_EQ(ReadBytes(path), "[System]\nTransparent=60\n");
}

TEST(ProfileDiskTest, UnusablePathsStoreNothing) {
  TempFolder folder;
  EXPECT_EQ(profile::ReadString("", "System", "A"), "");
  EXPECT_FALSE(profile::WriteString("", "System", "A", "1"));

  // A folder that does not exist is not created.
  const std::string nowhere = folder.File("missing/System.ini");
  EXPECT_FALSE(profile::WriteString(nowhere, "System", "A", "1"));
  EXPECT_EQ(profile::ReadString(nowhere, "System", "A"), "");

  // Something that exists but cannot be read as a file is never replaced.
  const std::string directory = folder.File("System.ini");
  ASSERT_EQ(::mkdir(directory.c_str(), 0755), 0);
  EXPECT_EQ(profile::ReadString(directory, "System", "A"), "");
  EXPECT_FALSE(profile::WriteString(directory, "System", "A", "1"));
  EXPECT_TRUE(S_ISDIR(StatOf(directory).st_mode));

  // Text that would not read back as written is refused before the file is touched.
  const std::string path = folder.File("other.ini");
  WriteBytes(path, "[System]\r\nA=1\r\n");
  EXPECT_FALSE(profile::WriteString(path, "System", "A", "2\r\nB=3"));
  EXPECT_EQ(ReadBytes(path), "[System]\r\nA=1\r\n");
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"System.ini", "other.ini"}));
}

// Runs `call` and reports whether it came back by itself. One that hangs in a FIFO is released by
// opening the FIFO's other end, so a failing test ends instead of hanging.
bool ReturnsWithoutAWriter(const std::string& fifo, const std::function<void()>& call) {
  std::future<void> done = std::async(std::launch::async, call);
  if (done.wait_for(std::chrono::seconds(10)) == std::future_status::ready) return true;
  for (const int flags : {O_WRONLY | O_NONBLOCK, O_RDONLY | O_NONBLOCK}) {
    const int fd = ::open(fifo.c_str(), flags);
    if (fd >= 0) ::close(fd);
  }
  done.wait();
  return false;
}

// A FIFO in the settings file's place, or a link to one, must not hold up start-up: it is no
// settings file and is neither read nor replaced.
TEST(ProfileDiskTest, AFifoOrALinkToOneIsNeitherReadNorWritten) {
  TempFolder folder;
  const std::string fifo = folder.File("pipe");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const std::string link = folder.File("System.ini");
  ASSERT_EQ(::symlink("pipe", link.c_str()), 0);
  for (const std::string& path : {fifo, link}) {
    SCOPED_TRACE(path);
    std::string value = "unset";
    EXPECT_TRUE(
        ReturnsWithoutAWriter(fifo, [&] { value = profile::ReadString(path, "System", "A"); }));
    EXPECT_EQ(value, "");
    bool stored = true;
    EXPECT_TRUE(ReturnsWithoutAWriter(
        fifo, [&] { stored = profile::WriteString(path, "System", "A", "1"); }));
    EXPECT_FALSE(stored);
  }
  EXPECT_TRUE(S_ISFIFO(StatOf(fifo).st_mode));
  EXPECT_TRUE(S_ISLNK(StatOf(link).st_mode));
}

}  // namespace
