#pragma once

#include <sys/socket.h>

#include <chrono>

namespace services {

// Connects `fd`, a blocking Unix-domain stream socket, to `address` within `limit`, however
// many signals arrive meanwhile: 0 once connected, else the errno of the failure (EAGAIN when
// the other end's queue stayed full until the limit). A signal is no answer from the other end:
// the kernel abandons the interrupted attempt and leaves the socket unconnected, so it is made
// again. Leaves the socket's send timeout at the time that was left.
int ConnectWithin(int fd, const sockaddr* address, socklen_t length,
                  std::chrono::milliseconds limit);

}  // namespace services
