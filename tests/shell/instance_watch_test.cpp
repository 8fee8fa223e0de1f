#include "shell/instance_watch.h"

#include <dirent.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <QMetaObject>
#include <QTest>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "services/single_instance.h"
#include "settings/stored_values.h"
#include "tests/support/temp_folder.h"

namespace {

using shell::InstanceWatch;
using test_support::TempFolder;

// A later start's side of the socket at `path`, connected, and its request sent when given.
int Call(const std::string& path, std::optional<char> request) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::memcpy(address.sun_path, path.data(), path.size());
  const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  EXPECT_EQ(::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  if (request) {
    EXPECT_EQ(::send(fd, &*request, 1, MSG_NOSIGNAL), 1);
  }
  return fd;
}

// The process's open descriptors.
std::vector<int> OpenDescriptors() {
  std::vector<int> fds;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    fds.push_back(std::stoi(entry.path().filename().string()));
  }
  return fds;
}

// Descriptors of the watch's side of calls: accepted sockets carry the listening socket's name.
int HeldCalls(const std::string& path) {
  int held = 0;
  for (const int fd : OpenDescriptors()) {
    sockaddr_un address{};
    socklen_t length = sizeof address;
    if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) == 0 &&
        address.sun_family == AF_UNIX && path == address.sun_path) {
      ++held;
    }
  }
  return held - 1;  // the listening socket
}

bool ClosedByTheWatch(int fd) {
  pollfd entry{fd, POLLIN, 0};
  char byte = 0;
  return ::poll(&entry, 1, 0) == 1 && ::read(fd, &byte, 1) == 0;
}

class InstanceWatchTest : public ::testing::Test {
 protected:
  void Watch(InstanceWatch::Limits limits) {
    watch_ = std::make_unique<InstanceWatch>(settings::SettingsFilePath(folder_.path()),
                                             runtime_.path(), limits);
    watch_->OnRequests({[this] { ++shows_; }, [this] { ++toggles_; }});
    for (const auto& entry : std::filesystem::directory_iterator(runtime_.File("lumetta"))) {
      if (entry.is_socket()) path_ = entry.path().string();
    }
    ASSERT_FALSE(path_.empty());
  }
  void TearDown() override {
    for (const int fd : callers_) ::close(fd);
  }

  TempFolder folder_;
  TempFolder runtime_;
  std::unique_ptr<InstanceWatch> watch_;
  std::string path_;
  std::vector<int> callers_;
  int shows_ = 0;
  int toggles_ = 0;
};

TEST_F(InstanceWatchTest, EachRequestIsAnsweredByItsOwnKindAndAnUnknownOneByNone) {
  Watch({});
  for (const char request : {services::kToggleRequest, 'x', services::kShowRequest}) {
    callers_.push_back(Call(path_, request));
  }
  // Each call is answered before the watch closes it.
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return std::all_of(callers_.begin(), callers_.end(), ClosedByTheWatch); }, 10000));
  EXPECT_EQ(shows_, 1);
  EXPECT_EQ(toggles_, 1);
}

TEST_F(InstanceWatchTest, CrowdOfSilentCallersHoldsFewDescriptorsAndRequestsAreStillHeard) {
  Watch({});
  for (int i = 0; i < 300; ++i) callers_.push_back(Call(path_, std::nullopt));
  callers_.push_back(Call(path_, services::kShowRequest));
  callers_.push_back(Call(path_, services::kToggleRequest));
  bool queued_call_ran = false;
  QMetaObject::invokeMethod(
      watch_.get(), [&] { queued_call_ran = true; }, Qt::QueuedConnection);
  EXPECT_TRUE(
      QTest::qWaitFor([&] { return shows_ == 1 && toggles_ == 1 && queued_call_ran; }, 10000));
  EXPECT_LE(HeldCalls(path_), 8);
}

TEST_F(InstanceWatchTest, SilentCallerIsClosed) {
  Watch({.request_wait = std::chrono::milliseconds(20)});
  callers_.push_back(Call(path_, std::nullopt));
  EXPECT_TRUE(QTest::qWaitFor([&] { return ClosedByTheWatch(callers_.back()); }, 10000));
  EXPECT_EQ(HeldCalls(path_), 0);
  EXPECT_EQ(shows_, 0);
}

TEST_F(InstanceWatchTest, OutOfDescriptorsRestsThenHearsTheCall) {
#ifdef __SANITIZE_ADDRESS__
  // The sanitizers' runtime checks memory through a pipe of its own; with every descriptor
  // taken it reports a valid object as invalid.
  GTEST_SKIP() << "needs descriptors the sanitizer runtime would lack";
#endif
  Watch({.rest = std::chrono::milliseconds(20)});
  callers_.push_back(Call(path_, services::kShowRequest));
  rlimit saved{};
  ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &saved), 0);
  const std::vector<int> open = OpenDescriptors();
  rlimit lowered = saved;
  lowered.rlim_cur = static_cast<rlim_t>(*std::max_element(open.begin(), open.end())) + 1;
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &lowered), 0);
  std::vector<int> fillers;
  for (int fd = ::dup(0); fd >= 0; fd = ::dup(0)) fillers.push_back(fd);
  // With every descriptor taken, the waiting call cannot be accepted: the watch rests.
  const bool rested = QTest::qWaitFor([&] { return !watch_->Listening(); }, 10000);
  for (const int fd : fillers) ::close(fd);
  ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &saved), 0);
  EXPECT_TRUE(rested);
  EXPECT_EQ(shows_, 0);
  EXPECT_TRUE(QTest::qWaitFor([&] { return shows_ == 1; }, 10000));
  EXPECT_TRUE(watch_->Listening());
}

// What sits on the name and is no panel: a folder, which cannot be cleared away, or a socket
// whose queue stays full.
enum class Sitter { kFolder, kDeafSocket };

class NameNotTakenTest : public InstanceWatchTest, public ::testing::WithParamInterface<Sitter> {};

// A start whose guard cannot take the name runs as before there was a guard: it neither ends
// nor listens.
TEST_P(NameNotTakenTest, PanelRunsUnguarded) {
  Watch({});  // learns the name
  watch_.reset();
  if (GetParam() == Sitter::kFolder) {
    ASSERT_EQ(::mkdir(path_.c_str(), 0700), 0);
  } else {
    const int sitter = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    callers_.push_back(sitter);  // closed with the callers
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, path_.data(), path_.size());
    ASSERT_EQ(::bind(sitter, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(sitter, 0), 0);
    callers_.push_back(Call(path_, std::nullopt));  // fills the queue
  }
  InstanceWatch late(settings::SettingsFilePath(folder_.path()), runtime_.path(), {});
  EXPECT_FALSE(late.AnotherRuns());
  late.OnRequests({});
  EXPECT_FALSE(late.Listening());
}

INSTANTIATE_TEST_SUITE_P(Sitters, NameNotTakenTest,
                         ::testing::Values(Sitter::kFolder, Sitter::kDeafSocket),
                         [](const auto& info) {
                           return info.param == Sitter::kFolder ? "Folder" : "DeafSocket";
                         });

}  // namespace
