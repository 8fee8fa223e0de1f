// The quote server's connection threads: a silent connection never holds another's turn, the
// cap holds, and threads are kept for the next connection rather than started for each.

#include "server/connection_threads.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>

namespace {

using namespace std::chrono_literals;

// Waits (10 s at most) until `done` holds.
template <typename Condition>
bool Eventually(Condition done) {
  for (int attempt = 0; attempt < 2000 && !done(); ++attempt) std::this_thread::sleep_for(5ms);
  return done();
}

TEST(ConnectionThreadsTest, ASilentConnectionHoldsOnlyItsOwnThreadAndTheCapHolds) {
  lumetta_server::ConnectionThreads threads(2);
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::atomic<int> running{0};
  std::atomic<int> served{0};
  // The first never ends until released, as a client that sends nothing.
  threads.Run([&] {
    ++running;
    released.wait();
    ++served;
  });
  threads.Run([&] { ++served; });
  ASSERT_TRUE(Eventually([&] { return served == 1; }));

  // The cap: with one place taken and the other held too, a third waits for a place.
  threads.Run([&] {
    ++running;
    released.wait();
    ++served;
  });
  ASSERT_TRUE(Eventually([&] { return running == 2; }));
  std::atomic<bool> third_given{false};
  std::thread caller([&] {
    threads.Run([&] { ++served; });
    third_given = true;
  });
  std::this_thread::sleep_for(50ms);
  EXPECT_FALSE(third_given);
  release.set_value();
  caller.join();
  threads.Shutdown();
  EXPECT_EQ(served, 4);
  EXPECT_EQ(threads.Threads(), 0);
}

TEST(ConnectionThreadsTest, AThreadServesTheNextConnectionAndEndsAfterItsLinger) {
  lumetta_server::ConnectionThreads threads(8, 200ms);
  std::atomic<int> served{0};
  for (int connection = 0; connection < 50; ++connection) {
    threads.Run([&] { ++served; });
    ASSERT_TRUE(Eventually([&] { return served == connection + 1 && threads.Waiting() == 1; }));
  }
  // One after the other: one thread served them all.
  EXPECT_EQ(threads.Threads(), 1);
  EXPECT_TRUE(Eventually([&] { return threads.Threads() == 0; }));
  // And a new one comes for the next connection.
  threads.Run([&] { ++served; });
  threads.Shutdown();
  EXPECT_EQ(served, 51);
}

}  // namespace
