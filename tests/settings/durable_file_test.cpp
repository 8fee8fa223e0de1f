#include "settings/durable_file.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "settings/profile_file.h"
#include "tests/support/temp_folder.h"

namespace {

using test_support::ReadBytes;
using test_support::TempFolder;
using test_support::WriteBytes;

TEST(DurableFileTest, ReplacedFileKeepsPermissionsAndLinks) {
  namespace fs = std::filesystem;
  TempFolder folder;
  const std::string target = folder.File("real.ini");
  const std::string link = folder.File("System.ini");
  WriteBytes(target, "[System]\r\nTop=1\r\n");
  ASSERT_EQ(::chmod(target.c_str(), 0604), 0);
  ASSERT_EQ(::symlink("real.ini", link.c_str()), 0);

  EXPECT_TRUE(durable::ReplaceFile(link, "[System]\r\nTop=2\r\n"));
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(ReadBytes(target), "[System]\r\nTop=2\r\n");
  EXPECT_EQ(fs::symlink_status(target).permissions() & fs::perms::mask, fs::perms(0604));
  EXPECT_EQ(ReadBytes(link), "[System]\r\nTop=2\r\n");
  EXPECT_EQ(folder.Entries(), (std::vector<std::string>{"System.ini", "real.ini"}));
}

// The disk calls of a replacement, in order, each with the file it was made on; the random part
// of a temporary file's name reads XXXXXX.
std::vector<std::string> disk_calls;

std::string Named(const std::string& path) {
  std::string name = std::filesystem::weakly_canonical(path).string();
  const std::size_t infix = name.rfind(".tmp-");
  if (infix != std::string::npos) name.replace(infix + 5, std::string::npos, "XXXXXX");
  return name;
}

int RecordedSync(int fd) {
  const std::string file = std::filesystem::read_symlink("/proc/self/fd/" + std::to_string(fd));
  const bool folder = std::filesystem::is_directory(file);
  disk_calls.push_back("sync " + Named(file) + (folder ? "" : " holding " + ReadBytes(file)));
  return ::fsync(fd);
}

int RecordedRename(const char* from, const char* to) {
  disk_calls.push_back("rename " + Named(from) + " to " + Named(to));
  return std::rename(from, to);
}

enum class Old { kNone, kFile, kLinkElsewhere };

class DiskOrderTest : public ::testing::TestWithParam<Old> {};

// A power cut at any moment leaves the old file or the new one: the new bytes are on the disk
// before the rename points the name at them, and the rename is on the disk after it.
TEST_P(DiskOrderTest, NewFileIsSyncedBeforeTheRenameAndItsFolderAfter) {
  const TempFolder folder;
  const TempFolder elsewhere;
  const std::string path = folder.File("System.ini");
  std::string target = path;
  if (GetParam() == Old::kFile) WriteBytes(path, "Top=1\n");
  if (GetParam() == Old::kLinkElsewhere) {
    target = elsewhere.File("real.ini");
    WriteBytes(target, "Top=1\n");
    std::filesystem::create_symlink(target, path);
  }
  disk_calls.clear();
  ASSERT_TRUE(durable::ReplaceFile(path, "Top=2\n", durable::Links::kFollow,
                                   {.sync = RecordedSync, .rename = RecordedRename}));
  const std::string temporary = Named(target) + ".tmp-XXXXXX";
  EXPECT_EQ(disk_calls, (std::vector<std::string>{
                            "sync " + temporary + " holding Top=2\n",
                            "rename " + temporary + " to " + Named(target),
                            "sync " + Named(std::filesystem::path(target).parent_path()),
                        }));
  EXPECT_EQ(ReadBytes(target), "Top=2\n");
}

std::string OldName(const ::testing::TestParamInfo<Old>& info) {
  constexpr const char* kNames[] = {"None", "File", "LinkElsewhere"};
  return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(OldFiles, DiskOrderTest,
                         ::testing::Values(Old::kNone, Old::kFile, Old::kLinkElsewhere), OldName);

constexpr rlim_t kFullDiskBytes = 16384;

// Runs the write in a child process whose files may not grow beyond a few kilobytes, as on a
// full disk, and returns whether it reported success.
bool WriteWithFullDisk(const std::string& path, const std::string& content) {
  const pid_t child = ::fork();
  if (child == 0) {
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{kFullDiskBytes, kFullDiskBytes};
    if (::setrlimit(RLIMIT_FSIZE, &limit) != 0) ::_exit(2);
    ::_exit(durable::ReplaceFile(path, content) ? 1 : 0);
  }
  int status = 0;
  EXPECT_EQ(::waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status));
  EXPECT_NE(WEXITSTATUS(status), 2) << "setrlimit failed";
  return WEXITSTATUS(status) == 1;
}

TEST(DurableFileTest, FullDiskLeavesTheOldFileUntouched) {
  TempFolder folder;
  const std::string path = folder.File("System.ini");
  const std::string old_content = "[System]\r\nPriceType=rmb\r\nBig=small\r\n";
  WriteBytes(path, old_content);
  const std::string huge(16 * kFullDiskBytes, 'x');

  EXPECT_FALSE(WriteWithFullDisk(path, huge));
  EXPECT_EQ(ReadBytes(path), old_content);
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"System.ini"});

  // Nor does a file that did not exist appear half written.
  const std::string fresh = folder.File("Fresh.ini");
  EXPECT_FALSE(WriteWithFullDisk(fresh, huge));
  EXPECT_EQ(folder.Entries(), std::vector<std::string>{"System.ini"});

  // The same write succeeds with room to spare, so the limit was what stopped it.
  EXPECT_TRUE(durable::ReplaceFile(path, huge));
  EXPECT_EQ(ReadBytes(path), huge);
}

// A writer that is killed at any moment, and a reader that looks while it writes, only ever
// find the complete old or the complete new file.
TEST(DurableFileTest, KilledWriterLeavesCompleteOldOrNewFile) {
  TempFolder folder;
  const std::string path = folder.File("System.ini");
  // Large values make each write last long enough to be watched and interrupted.
  const std::string value_a(4 << 20, 'a');
  const std::string value_b(4 << 20, 'b');
  const std::string content_a = "[System]\r\nPriceType=rmb\r\nBig=" + value_a + "\r\nTop=300\r\n";
  const std::string content_b = "[System]\r\nPriceType=rmb\r\nBig=" + value_b + "\r\nTop=300\r\n";
  ASSERT_TRUE(durable::ReplaceFile(path, content_a));
  ASSERT_EQ(ReadBytes(path), content_a);
  ASSERT_EQ(content_a.size(), content_b.size());
  const auto full_size = static_cast<off_t>(content_a.size());

  for (int round = 0; round < 6; ++round) {
    SCOPED_TRACE(round);
    int done[2];
    ASSERT_EQ(::pipe2(done, O_NONBLOCK), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      ::close(done[0]);
      for (int i = 0;; ++i) {
        durable::ReplaceFile(path, i % 2 ? content_a : content_b);
        const char tick = 1;
        if (::write(done[1], &tick, 1) != 1) ::_exit(3);
      }
    }
    ::close(done[1]);

    // Watch the file while the child writes, and kill it at a different point each round:
    // after one to three finished writes and a varying number of further looks.
    int finished = 0;
    int looks_after = round * 40;
    off_t odd_size = -1;
    bool child_gone = false;
    while (odd_size < 0 && !child_gone) {
      struct stat now {};
      if (::stat(path.c_str(), &now) != 0) {
        odd_size = 0;
      } else if (now.st_size != full_size) {
        odd_size = now.st_size;
      }
      char ticks[16];
      const ssize_t got = ::read(done[0], ticks, sizeof ticks);
      if (got > 0) finished += static_cast<int>(got);
      if (finished >= 1 + round % 3 && looks_after-- <= 0) break;
      child_gone = ::waitpid(child, nullptr, WNOHANG) == child;
    }
    ::close(done[0]);
    EXPECT_FALSE(child_gone) << "the writer stopped by itself";
    EXPECT_EQ(odd_size, -1) << "a reader saw a file of " << odd_size << " bytes";
    if (!child_gone) {
      ASSERT_EQ(::kill(child, SIGKILL), 0);
      ASSERT_EQ(::waitpid(child, nullptr, 0), child);
    }

    const std::string now = ReadBytes(path);
    EXPECT_TRUE(now == content_a || now == content_b)
        << "file of " << now.size() << " bytes is neither the old nor the new one";
  }
  EXPECT_TRUE(ReadBytes(path).ends_with("\r\nTop=300\r\n"));
}

// Where the folder takes no temporary file, the file is rewritten in place. A writer killed
// right after writing the bytes, before it could finish, must leave a file that reads as the new
// one: here the old tail would add the key Z (the end of the old "AZ=5" line).
TEST(DurableFileTest, InPlaceRewriteKilledAfterItsWriteReadsAsTheNewFile) {
  TempFolder folder;
  const std::string path = folder.File("System.ini");
  const std::string old_content = "[System]\r\nK=aaaaaa\r\nAZ=5\r\n";
  const std::string new_content = profile::SetValue(old_content, "System", "K", "a").value();
  for (const bool killed : {true, false}) {
    SCOPED_TRACE(killed ? "killed" : "finished");
    WriteBytes(path, old_content);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      const bool ok = durable::RewriteInPlace(path, new_content, [killed] {
        if (killed) ::raise(SIGKILL);
      });
      ::_exit(ok ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(WIFSIGNALED(status), killed);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : 0, 0);
    const std::string now = ReadBytes(path);
    for (const char* key : {"K", "AZ", "Z"}) {
      EXPECT_EQ(profile::FindValue(now, "System", key),
                profile::FindValue(new_content, "System", key))
          << key;
    }
  }
}

}  // namespace
