// An answer gathered for one send: nothing leaves before it is sent, and what the socket cannot
// take at once goes out later, whole and in order.
#include "server/recording_stream.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

namespace lumetta_test {
namespace {

class GatheredAnswerTest : public ::testing::TestWithParam<size_t> {
 protected:
  void SetUp() override {
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends_), 0);
    const int small = 4096;
    ASSERT_EQ(::setsockopt(ends_[0], SOL_SOCKET, SO_SNDBUF, &small, sizeof small), 0);
  }
  void TearDown() override {
    ::close(ends_[0]);
    ::close(ends_[1]);
  }

  // Everything the peer receives until the server's end is shut.
  std::string ReadAll() const {
    std::string all;
    char chunk[8192];
    for (ssize_t count; (count = ::recv(ends_[1], chunk, sizeof chunk, 0)) > 0;) {
      all.append(chunk, static_cast<size_t>(count));
    }
    return all;
  }

  int ends_[2] = {-1, -1};
  std::atomic<bool> stopping_{false};
};

TEST_P(GatheredAnswerTest, ArrivesWholeAndInOrder) {
  lumetta_server::RecordingStream stream(ends_[0], stopping_, std::nullopt);
  const std::string head =
      "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(GetParam()) + "\r\n\r\n";
  std::string body(GetParam(), '\0');
  for (size_t at = 0; at < body.size(); ++at) body[at] = static_cast<char>('a' + at % 23);

  stream.GatherWrites();
  ASSERT_EQ(stream.write(head.data(), head.size()), static_cast<ssize_t>(head.size()));
  ASSERT_EQ(stream.write(body.data(), body.size()), static_cast<ssize_t>(body.size()));
  pollfd peer{ends_[1], POLLIN, 0};
  EXPECT_EQ(::poll(&peer, 1, 0), 0) << "sent before the answer was complete";

  bool all_at_once = stream.SendGathered();
  EXPECT_EQ(all_at_once, GetParam() < 1024);
  std::string received;
  if (!all_at_once) {
    // What the peer took so far makes room: a second try goes on from where the first stopped.
    char chunk[8192];
    for (ssize_t count; (count = ::recv(ends_[1], chunk, sizeof chunk, MSG_DONTWAIT)) > 0;) {
      received.append(chunk, static_cast<size_t>(count));
    }
    all_at_once = stream.SendGathered();
    EXPECT_FALSE(all_at_once);
  }
  std::thread reader([&] { received += ReadAll(); });
  if (!all_at_once) stream.FinishGathered();
  const std::string after = "after";
  EXPECT_EQ(stream.write(after.data(), after.size()), static_cast<ssize_t>(after.size()));
  ::shutdown(ends_[0], SHUT_WR);
  reader.join();
  EXPECT_EQ(received, head + body + after);
}

// A quote list fits the socket at once; a megabyte does not.
INSTANTIATE_TEST_SUITE_P(Sizes, GatheredAnswerTest,
                         ::testing::Values(size_t{600}, size_t{1} << 20));

}  // namespace
}  // namespace lumetta_test
