#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <string_view>

namespace test_support {

// Connections of another account: a child process that drops to the unprivileged "nobody"
// user and opens and watches TCP connections to 127.0.0.1 on the parent's word. Needs root to
// change user; Available() says whether it could start. Each call returns once the child has
// done its part, so a test knows what the other account's connections saw, clock aside.
class ForeignClient {
 public:
  static constexpr uid_t kOwner = 65534;
  static constexpr int kMaxConnections = 512;
  static constexpr std::size_t kMaxRequest = 1024;

  ForeignClient();
  ~ForeignClient();
  ForeignClient(const ForeignClient&) = delete;
  ForeignClient& operator=(const ForeignClient&) = delete;

  bool Available() const { return child_ > 0 && command_fd_ >= 0; }

  // Opens `count` more connections to `port`, sending `request` (at most kMaxRequest bytes)
  // on each; how many could be opened, or -1 when the child did not answer.
  int Open(int port, int count, std::string_view request);
  // Waits, at most `limit`, until at least `count` connections have been closed by the server
  // without a byte sent back; how many have been by then.
  int WaitUntilClosedUnanswered(int count, std::chrono::milliseconds limit);
  // Reads each connection that is still open until the server ends it or `limit` has passed;
  // how many of them received bytes that begin with `prefix`.
  int AnsweredWith(std::string_view prefix, std::chrono::milliseconds limit);

 private:
  int Ask(char op, int port, int count, std::string_view text, std::chrono::milliseconds limit);

  pid_t child_ = -1;
  int command_fd_ = -1;  // the parent's words; closing it ends the child
  int result_fd_ = -1;   // the child's answers
};

}  // namespace test_support
