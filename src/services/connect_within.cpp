#include "services/connect_within.h"

#include <sys/time.h>

#include <cerrno>

namespace services {

int ConnectWithin(int fd, const sockaddr* address, socklen_t length,
                  std::chrono::milliseconds limit) {
  using Clock = std::chrono::steady_clock;
  const Clock::time_point give_up = Clock::now() + limit;
  for (;;) {
    const auto left = std::chrono::duration_cast<std::chrono::microseconds>(give_up - Clock::now());
    // A send timeout of zero would wait for ever.
    if (left.count() <= 0) return EAGAIN;
    const timeval wait{static_cast<time_t>(left.count() / 1'000'000),
                       static_cast<suseconds_t>(left.count() % 1'000'000)};
    if (::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &wait, sizeof wait) != 0) return errno;
    if (::connect(fd, address, length) == 0) return 0;
    const int error = errno;
    // An attempt that went on and finished after all is a connection too.
    if (error == EISCONN) return 0;
    if (error != EINTR) return error;
  }
}

}  // namespace services
