#include "services/connect_within.h"

#include <gtest/gtest.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <fstream>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

std::atomic<int> signals_seen{0};
void CountSignal(int /*signal*/) { ++signals_seen; }

// The scheduler's state letter of thread `tid` of this process ('S': asleep in a call).
char ThreadState(pid_t tid) {
  std::ifstream stat("/proc/self/task/" + std::to_string(tid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const std::size_t after_name = line.rfind(')');
  return after_name != std::string::npos && after_name + 2 < line.size() ? line[after_name + 2]
                                                                         : '?';
}

// A listener whose queue is full, so that a blocking connect to it waits in the kernel, and a
// thread calling ConnectWithin to it that is sent a signal while it waits.
class ConnectWithinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    struct sigaction action {};
    action.sa_handler = CountSignal;  // no SA_RESTART: the waiting connect returns EINTR
    ASSERT_EQ(::sigaction(SIGUSR1, &action, &old_action_), 0);
    const std::string name = "lumetta-test/connect-within/" + std::to_string(::getpid());
    address_.sun_family = AF_UNIX;
    std::memcpy(address_.sun_path + 1, name.data(), name.size());  // abstract
    length_ = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + 1 + name.size());
    listener_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ASSERT_EQ(::bind(listener_, Address(), length_), 0);
    ASSERT_EQ(::listen(listener_, 0), 0);  // one waiting connection fills the queue
    filler_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ASSERT_EQ(::connect(filler_, Address(), length_), 0);
    const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    ASSERT_NE(::connect(probe, Address(), length_), 0);
    ASSERT_EQ(errno, EAGAIN) << "the queue is not full";
    ::close(probe);
    client_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
  }

  void TearDown() override {
    if (caller_.joinable()) caller_.join();
    for (const int fd : {listener_, filler_, client_}) ::close(fd);
    ::sigaction(SIGUSR1, &old_action_, nullptr);
  }

  const sockaddr* Address() const { return reinterpret_cast<const sockaddr*>(&address_); }

  // Starts ConnectWithin on another thread and interrupts it once it waits in the kernel.
  void ConnectAndInterrupt(std::chrono::milliseconds limit) {
    std::atomic<pid_t> tid{0};
    caller_ = std::thread([this, limit, &tid] {
      tid = ::gettid();
      result_ = services::ConnectWithin(client_, Address(), length_, limit);
      done_ = true;
    });
    // Bounded only to keep a fault from hanging the run.
    const auto give_up = std::chrono::steady_clock::now() + 30s;
    while ((tid == 0 || ThreadState(tid) != 'S') && !done_ &&
           std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(1ms);
    }
    ASSERT_FALSE(done_) << "connect did not wait";
    ASSERT_EQ(ThreadState(tid), 'S');
    ::pthread_kill(caller_.native_handle(), SIGUSR1);
    while (signals_seen == 0 && std::chrono::steady_clock::now() < give_up) {
      std::this_thread::sleep_for(1ms);
    }
    ASSERT_EQ(signals_seen, 1);
  }

  struct sigaction old_action_ {};
  sockaddr_un address_{};
  socklen_t length_ = 0;
  int listener_ = -1;
  int filler_ = -1;
  int client_ = -1;
  std::thread caller_;
  std::atomic<int> result_{-1};
  std::atomic<bool> done_{false};
};

// Interrupted, the call goes on, and once the queue has room it connects, once.
TEST_F(ConnectWithinTest, ASignalWhileWaitingIsNoRefusal) {
  signals_seen = 0;
  ASSERT_NO_FATAL_FAILURE(ConnectAndInterrupt(60s));
  const int filler_end = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  caller_.join();
  EXPECT_EQ(result_, 0) << std::strerror(result_);

  const int client_end = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
  ASSERT_GE(client_end, 0);
  ASSERT_EQ(::send(client_, "x", 1, MSG_NOSIGNAL), 1);
  char got = 0;
  EXPECT_EQ(::recv(client_end, &got, 1, 0), 1);
  EXPECT_EQ(got, 'x');
  EXPECT_LT(::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC), 0) << "connected twice";
  ::close(filler_end);
  ::close(client_end);
}

// Signals keep coming while the queue stays full, as when no panel drains it: the call still
// ends at its limit.
TEST_F(ConnectWithinTest, SignalsDoNotHoldTheCallPastItsLimit) {
  signals_seen = 0;
  caller_ = std::thread([this] {
    result_ = services::ConnectWithin(client_, Address(), length_, 500ms);
    done_ = true;
  });
  while (!done_) {
    ::pthread_kill(caller_.native_handle(), SIGUSR1);
    std::this_thread::sleep_for(5ms);
  }
  caller_.join();
  EXPECT_GT(signals_seen, 0);
  EXPECT_EQ(result_, EAGAIN) << std::strerror(result_);
}

}  // namespace
