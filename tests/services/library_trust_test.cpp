#include "services/library_trust.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <optional>
#include <string>

#include "tests/support/temp_folder.h"

namespace {

using services::IsTrustedLibraryFile;
using test_support::TempFolder;
using test_support::WriteBytes;

// The check as a process of `uid` makes it; nullopt when no such process could run it.
std::optional<bool> TrustedFor(uid_t uid, const std::string& path) {
  const pid_t child = ::fork();
  if (child == 0) {
    if (::setresuid(uid, uid, uid) != 0) ::_exit(2);
    ::_exit(IsTrustedLibraryFile(path) ? 1 : 0);
  }
  int status = 0;
  if (child < 0 || ::waitpid(child, &status, 0) != child || !WIFEXITED(status) ||
      WEXITSTATUS(status) > 1) {
    return std::nullopt;
  }
  return WEXITSTATUS(status) == 1;
}

class LibraryTrustTest : public ::testing::Test {
 protected:
  // A library of ours with the given mode; chmod, unlike creation, ignores the umask.
  std::string Library(const std::string& name, mode_t mode) {
    std::string path = folder_.File(name);
    WriteBytes(path, "a library in name only");
    EXPECT_EQ(::chmod(path.c_str(), mode), 0);
    return path;
  }

  TempFolder folder_;
};

TEST_F(LibraryTrustTest, OurFileThatOnlyWeMayWriteIsTrusted) {
  EXPECT_TRUE(IsTrustedLibraryFile(Library("plain.so", 0644)));
  EXPECT_TRUE(IsTrustedLibraryFile(Library("private.so", 0600)));
  EXPECT_TRUE(IsTrustedLibraryFile(Library("linked.so", 0755)));
}

TEST_F(LibraryTrustTest, FileThatGroupOrOthersMayWriteIsNot) {
  EXPECT_FALSE(IsTrustedLibraryFile(Library("group.so", 0664)));
  EXPECT_FALSE(IsTrustedLibraryFile(Library("everyone.so", 0666)));
  EXPECT_FALSE(IsTrustedLibraryFile(Library("others.so", 0646)));
  EXPECT_FALSE(IsTrustedLibraryFile(Library("group_only.so", 0620)));
}

TEST_F(LibraryTrustTest, LinkIsNotEvenToATrustedFile) {
  const std::string target = Library("real.so", 0644);
  const std::string link = folder_.File("Skin.dll");
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  EXPECT_TRUE(IsTrustedLibraryFile(target));
  EXPECT_FALSE(IsTrustedLibraryFile(link));
}

TEST_F(LibraryTrustTest, AnythingButARegularFileIsNot) {
  const std::string folder = folder_.File("folder.so");
  ASSERT_EQ(::mkdir(folder.c_str(), 0755), 0);
  EXPECT_FALSE(IsTrustedLibraryFile(folder));
  const std::string fifo = folder_.File("fifo.so");
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0644), 0);
  EXPECT_FALSE(IsTrustedLibraryFile(fifo));
}

TEST_F(LibraryTrustTest, MissingFileIsNot) {
  EXPECT_FALSE(IsTrustedLibraryFile(folder_.File("missing.so")));
  EXPECT_FALSE(IsTrustedLibraryFile(""));
}

TEST_F(LibraryTrustTest, FileOfAnotherUserIsNot) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can give a file to another user";
  ASSERT_EQ(::chmod(folder_.path().c_str(), 0755), 0);  // so that other users can look
  const std::string path = Library("theirs.so", 0644);
  ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  EXPECT_FALSE(IsTrustedLibraryFile(path));
  EXPECT_EQ(TrustedFor(65533, path), false);
  EXPECT_EQ(TrustedFor(65534, path), true);  // its owner's own file
  ASSERT_EQ(::chown(path.c_str(), 0, 0), 0);
  EXPECT_TRUE(IsTrustedLibraryFile(path));
  EXPECT_EQ(TrustedFor(65533, path), true);  // root's files are everyone's to trust
}

}  // namespace
