#include "services/library_trust.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <string>

#include "tests/support/temp_folder.h"

namespace {

using services::IsTrustedLibraryFile;
using test_support::TempFolder;
using test_support::WriteBytes;

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
  const std::string path = Library("theirs.so", 0644);
  ASSERT_EQ(::chown(path.c_str(), 65534, 65534), 0);
  EXPECT_FALSE(IsTrustedLibraryFile(path));
  ASSERT_EQ(::chown(path.c_str(), 0, 0), 0);
  EXPECT_TRUE(IsTrustedLibraryFile(path));
}

}  // namespace
