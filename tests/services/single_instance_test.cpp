#include "services/single_instance.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
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

// The name `fd` is bound to, a path or an abstract name (its first byte NUL); empty for no
// socket.
std::string BoundName(int fd) {
  sockaddr_un address{};
  socklen_t length = sizeof address;
  if (fd < 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return {};
  std::string name(address.sun_path, length - offsetof(sockaddr_un, sun_path));
  if (!name.empty() && name.front() != '\0') name = name.c_str();
  return name;
}

bool Abstract(const std::string& name) { return !name.empty() && name.front() == '\0'; }

// A socket of no panel bound to `name`, listening or not.
int Squat(const std::string& name, bool listening) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, name.data(), name.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
  EXPECT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), length), 0) << name;
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

// Each test's folder is fresh, so its key is one no other test or program holds. The runtime
// folder is fresh too, and private like the user's; the test runs with it (true) and without
// one, on an abstract name (false).
class GuardTest : public ::testing::TestWithParam<bool> {
 protected:
  std::string Key() const { return KeyOf(folder_.path()); }
  std::string Runtime() const { return GetParam() ? runtime_.path() : ""; }

  TempFolder folder_;
  TempFolder runtime_;
};

using SingleInstanceTest = GuardTest;

TEST_P(SingleInstanceTest, FirstStartHoldsTheNameAndLeavesNothingOnDisk) {
  const SingleInstance first(Key(), Runtime());
  EXPECT_EQ(first.state(), State::kFirst);
  ASSERT_GE(first.listen_descriptor(), 0);
  EXPECT_TRUE(CloseOnExec(first.listen_descriptor()));
  EXPECT_TRUE(folder_.Entries().empty());
  // Nobody has called yet.
  EXPECT_EQ(first.Accept(), -1);
}

// A plain start asks for the panel to show, `--toggle` for it to hide or show: each later
// start's own request arrives, once, and the first keeps the name.
TEST_P(SingleInstanceTest, SecondStartFindsTheFirstAndItsRequestArrives) {
  const SingleInstance first(Key(), Runtime());
  ASSERT_EQ(first.state(), State::kFirst);

  for (const char request : {services::kShowRequest, services::kToggleRequest,
                             services::kToggleRequest, services::kShowRequest}) {
    const SingleInstance second(Key(), Runtime(), request);
    EXPECT_EQ(second.state(), State::kRunning);
    EXPECT_EQ(second.listen_descriptor(), -1);
    EXPECT_EQ(second.Accept(), -1);
    EXPECT_EQ(NextRequest(first), request);
    EXPECT_EQ(first.Accept(), -1);
  }
  EXPECT_EQ(first.state(), State::kFirst);
}

TEST_P(SingleInstanceTest, AnotherFolderIsAnotherPanel) {
  const TempFolder other;
  const SingleInstance first(Key(), Runtime());
  const SingleInstance elsewhere(KeyOf(other.path()), Runtime());
  EXPECT_EQ(first.state(), State::kFirst);
  EXPECT_EQ(elsewhere.state(), State::kFirst);
  EXPECT_EQ(first.Accept(), -1);
  EXPECT_EQ(elsewhere.Accept(), -1);
}

TEST_P(SingleInstanceTest, NameIsFreeAgainOnceTheFirstHasEnded) {
  auto first = std::make_unique<SingleInstance>(Key(), Runtime());
  ASSERT_EQ(first->state(), State::kFirst);
  first.reset();
  const SingleInstance next(Key(), Runtime());
  EXPECT_EQ(next.state(), State::kFirst);
  EXPECT_EQ(SingleInstance(Key(), Runtime()).state(), State::kRunning);
}

TEST_P(SingleInstanceTest, KeyIsTheSettingsFilesRealPath) {
  const std::string real = std::filesystem::canonical(folder_.path()).string();
  EXPECT_EQ(Key(), real + "/System.ini");
  EXPECT_EQ(KeyOf(folder_.path() + "/"), Key());
  EXPECT_EQ(KeyOf(folder_.path() + "/./sub/.."), Key());
  const TempFolder other;
  EXPECT_NE(KeyOf(other.path()), Key());
}

TEST_P(SingleInstanceTest, FolderReachedThroughALinkIsTheSamePanel) {
  const TempFolder links;
  const std::string link = links.File("panel");
  std::filesystem::create_directory_symlink(folder_.path(), link);
  EXPECT_EQ(KeyOf(link), Key());

  const SingleInstance first(Key(), Runtime());
  ASSERT_EQ(first.state(), State::kFirst);
  EXPECT_EQ(SingleInstance(KeyOf(link), Runtime()).state(), State::kRunning);
  EXPECT_EQ(NextRequest(first), services::kShowRequest);
}

TEST_P(SingleInstanceTest, SettingsFileLinkedFromAnotherFolderIsThatFoldersPanel) {
  WriteBytes(folder_.File("System.ini"), "[System]\r\n");
  const TempFolder other;
  std::filesystem::create_symlink(folder_.File("System.ini"), other.File("System.ini"));
  EXPECT_EQ(KeyOf(other.path()), Key());
}

// Stands in for the kernel's word where every connection's other end is another user's.
std::optional<uid_t> AnotherUser(int /*connection*/) { return ::geteuid() + 1; }

// Only the user's own panels are heard or called, on either kind of name.
TEST_P(SingleInstanceTest, ConnectionOfAnotherUserIsNeitherHeardNorCalled) {
  const SingleInstance holder(Key(), Runtime(), services::kShowRequest, AnotherUser);
  ASSERT_EQ(holder.state(), State::kFirst);
  // This caller finds the holder its own and sends its request; the holder closes it unheard.
  EXPECT_EQ(SingleInstance(Key(), Runtime()).state(), State::kRunning);
  EXPECT_EQ(NextRequest(holder), std::nullopt);
  // A start that finds another user's holder on the name runs unguarded.
  EXPECT_EQ(SingleInstance(Key(), Runtime(), services::kShowRequest, AnotherUser).state(),
            State::kAlone);
}

TEST_P(SingleInstanceTest, AnotherUserOfTheSameFileHoldsAnotherName) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can start a process as another user";
  const SingleInstance ours(Key(), Runtime());
  ASSERT_EQ(ours.state(), State::kFirst);
  const std::string key = Key();
  const std::string theirs = AsUser(
      kOtherUser, [&] { return BoundName(SingleInstance(key, Runtime()).listen_descriptor()); });
  EXPECT_FALSE(theirs.empty());
  EXPECT_NE(theirs, BoundName(ours.listen_descriptor()));
}

INSTANTIATE_TEST_SUITE_P(RuntimeFolderOrNot, SingleInstanceTest, ::testing::Bool());

// Without a runtime folder the name is abstract, where another user can bind it first. A
// socket of theirs on it, answering calls (true) or not, must not stop the panel.
class HeldNameTest : public ::testing::TestWithParam<bool> {
 protected:
  TempFolder folder_;
};

TEST_P(HeldNameTest, NameNoPanelOfOursHoldsRunsUnguarded) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can start a process as another user";
  const std::string key = KeyOf(folder_.path());
  const std::string name =
      AsUser(kOtherUser, [&] { return BoundName(SingleInstance(key, "").listen_descriptor()); });
  ASSERT_TRUE(Abstract(name));
  const int squatter = Squat(name, GetParam());
  const auto state = [&] {
    return std::to_string(static_cast<int>(SingleInstance(key, "").state()));
  };
  EXPECT_EQ(AsUser(kOtherUser, state), std::to_string(static_cast<int>(State::kAlone)));
  ::close(squatter);
}

INSTANTIATE_TEST_SUITE_P(ListeningOrNot, HeldNameTest, ::testing::Bool());

// With a runtime folder. The folder may already exist open to others (true): it is closed.
class RuntimeFolderTest : public GuardTest {
 protected:
  std::string Sockets() const { return runtime_.File("lumetta"); }
};

TEST_P(RuntimeFolderTest, NameIsASocketFileInAFolderOnlyTheUserEnters) {
  if (GetParam()) {
    ASSERT_EQ(::mkdir(Sockets().c_str(), 0755), 0);
  }
  auto first = std::make_unique<SingleInstance>(Key(), runtime_.path());
  ASSERT_EQ(first->state(), State::kFirst);
  const std::string name = BoundName(first->listen_descriptor());
  EXPECT_EQ(std::filesystem::path(name).parent_path(), Sockets());
  struct stat folder {};
  ASSERT_EQ(::lstat(Sockets().c_str(), &folder), 0);
  EXPECT_EQ(folder.st_mode & 07777, 0700u);
  EXPECT_EQ(folder.st_uid, ::geteuid());
  first.reset();
  EXPECT_FALSE(std::filesystem::exists(name));
}

TEST_P(RuntimeFolderTest, SocketFileLeftByAKilledPanelDoesNotStopTheNext) {
  const std::string name = BoundName(SingleInstance(Key(), runtime_.path()).listen_descriptor());
  ::close(Squat(name, GetParam()));  // closed without removing its file, as a killed panel's
  ASSERT_TRUE(std::filesystem::is_socket(name));
  const SingleInstance next(Key(), runtime_.path());
  EXPECT_EQ(next.state(), State::kFirst);
  EXPECT_EQ(SingleInstance(Key(), runtime_.path()).state(), State::kRunning);
  EXPECT_EQ(NextRequest(next), services::kShowRequest);
}

TEST_P(RuntimeFolderTest, AnotherUserCannotTakeTheNameFirst) {
  if (::geteuid() != 0) GTEST_SKIP() << "only root can start a process as another user";
  if (GetParam()) {
    ASSERT_EQ(::mkdir(Sockets().c_str(), 0755), 0);
  }
  const std::string name = BoundName(SingleInstance(Key(), runtime_.path()).listen_descriptor());
  const std::string taken = AsUser(kOtherUser, [&] {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    return ::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 ? "bound"
                                                                                        : "refused";
  });
  EXPECT_EQ(taken, "refused");
  EXPECT_EQ(SingleInstance(Key(), runtime_.path()).state(), State::kFirst);
}

INSTANTIATE_TEST_SUITE_P(FolderExistsOrNot, RuntimeFolderTest, ::testing::Bool());

// Runtime folders another user could reach fall back to the abstract name; the panel is guarded.
enum class Untrusted { kRelative, kOpenToOthers, kLink, kFile };

class UntrustedFolderTest : public ::testing::TestWithParam<Untrusted> {
 protected:
  TempFolder folder_;
  TempFolder runtime_;
};

TEST_P(UntrustedFolderTest, TakesTheAbstractName) {
  std::string runtime = runtime_.path();
  const TempFolder elsewhere;
  switch (GetParam()) {
    case Untrusted::kRelative:
      runtime = std::filesystem::path(runtime).lexically_relative(std::filesystem::current_path());
      break;
    case Untrusted::kOpenToOthers:
      ASSERT_EQ(::chmod(runtime.c_str(), 0777), 0);
      break;
    case Untrusted::kLink:
      std::filesystem::create_directory_symlink(elsewhere.path(), runtime_.File("lumetta"));
      break;
    case Untrusted::kFile:
      WriteBytes(runtime_.File("lumetta"), "");
      break;
  }
  const std::string key = KeyOf(folder_.path());
  const SingleInstance first(key, runtime);
  ASSERT_EQ(first.state(), State::kFirst);
  EXPECT_TRUE(Abstract(BoundName(first.listen_descriptor())));
  EXPECT_EQ(SingleInstance(key, runtime).state(), State::kRunning);
  EXPECT_EQ(NextRequest(first), services::kShowRequest);
  EXPECT_TRUE(elsewhere.Entries().empty());
}

std::string KindName(const ::testing::TestParamInfo<Untrusted>& info) {
  constexpr const char* kNames[] = {"Relative", "OpenToOthers", "Link", "File"};
  return kNames[static_cast<int>(info.param)];
}

INSTANTIATE_TEST_SUITE_P(Kinds, UntrustedFolderTest,
                         ::testing::Values(Untrusted::kRelative, Untrusted::kOpenToOthers,
                                           Untrusted::kLink, Untrusted::kFile),
                         KindName);

}  // namespace
