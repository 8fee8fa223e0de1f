#include "services/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstddef>
#include <cstring>
#include <filesystem>
#include <functional>
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

constexpr uid_t kOtherUser = 65534;

// The abstract name `fd` is bound to; empty for no socket.
std::string BoundName(int fd) {
  sockaddr_un address{};
  socklen_t length = sizeof address;
  if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
  return {address.sun_path, length - offsetof(sockaddr_un, sun_path)};
}

// A socket of no panel bound to `name`, listening or not.
int Squat(const std::string& name, bool listening) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, name.data(), name.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
  EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), length), 0);
  if (listening) {
    EXPECT_EQ(::listen(fd, 1), 0);
  }
  return fd;
}

// What `body` gives in a child process running as `uid`.
std::string AsUser(uid_t uid, const std::function<std::string()>& body) {
  int out[2];
  if (::pipe(out) != 0) return "no pipe";
  const pid_t child = ::fork();
  if (child == 0) {
    const std::string answer = ::setuid(uid) == 0 ? body() : "no setuid";
    const bool written = ::write(out[1], answer.data(), answer.size()) >= 0;
    ::_exit(written ? 0 : 1);
  }
  ::close(out[1]);
  std::string answer;
  char buffer[256];
  for (ssize_t size = 0; (size = ::read(out[0], buffer, sizeof buffer)) > 0;) {
    answer.append(buffer, static_cast<std::size_t>(size));
  }
  ::close(out[0]);
  ::waitpid(child, nullptr, 0);
  return answer;
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

TEST_F(SingleInstanceTest, AnotherUserOfTheSameFileHoldsAnotherName) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can start a process as another user";
  const SingleInstance ours(Key());
  ASSERT_EQ(ours.state(), State::kFirst);
  const std::string key = Key();
  const std::string theirs =
      AsUser(kOtherUser, [&] { return BoundName(SingleInstance(key).listen_descriptor()); });
  EXPECT_FALSE(theirs.empty());
  EXPECT_NE(theirs, BoundName(ours.listen_descriptor()));
}

class HeldNameTest : public SingleInstanceTest, public ::testing::WithParamInterface<bool> {};

// A socket of someone else on the panel's name, answering calls or not, must not stop it.
TEST_P(HeldNameTest, NameNoPanelOfOursHoldsRunsUnguarded) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can start a process as another user";
  const std::string key = Key();
  const std::string name =
      AsUser(kOtherUser, [&] { return BoundName(SingleInstance(key).listen_descriptor()); });
  ASSERT_FALSE(name.empty());
  const int squatter = Squat(name, GetParam());
  const auto state = [&] { return std::to_string(static_cast<int>(SingleInstance(key).state())); };
  EXPECT_EQ(AsUser(kOtherUser, state), std::to_string(static_cast<int>(State::kAlone)));
  ::close(squatter);
}

INSTANTIATE_TEST_SUITE_P(ListeningOrNot, HeldNameTest, ::testing::Bool());

}  // namespace
