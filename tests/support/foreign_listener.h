#pragma once

#include <sys/types.h>

namespace test_support {

// A loopback listener that belongs to another account: a child process that drops to the
// unprivileged "nobody" user, listens on 127.0.0.1, takes every connection and counts the
// bytes they carry. Needs root to change user; Available() says whether it could start.
class ForeignListener {
 public:
  ForeignListener();
  ~ForeignListener();
  ForeignListener(const ForeignListener&) = delete;
  ForeignListener& operator=(const ForeignListener&) = delete;

  bool Available() const { return port_ > 0; }
  int port() const { return port_; }
  // Ends the child and tells how many bytes all connections to it carried (-1 if unknown).
  long StopAndCountBytes();

  static constexpr uid_t kOwner = 65534;

 private:
  pid_t child_ = -1;
  int stop_fd_ = -1;    // closed by the parent to end the child
  int result_fd_ = -1;  // the child writes its port, and at the end its byte count
  int port_ = 0;
};

}  // namespace test_support
