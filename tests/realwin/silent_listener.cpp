// A server that takes every connection on 127.0.0.1:PORT and never answers, for the test of a
// panel whose server hangs. Runs until it is killed.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: %s PORT\n", argv[0]);
    return 2;
  }
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  const int yes = 1;
  ::setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &yes, sizeof yes);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  address.sin_port = htons(static_cast<uint16_t>(std::atoi(argv[1])));
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 64) != 0) {
    std::perror("silent_listener");
    return 1;
  }
  // Held open and never read: the client waits for an answer that does not come.
  std::vector<int> held;
  for (;;) {
    const int connection = ::accept(listener, nullptr, nullptr);
    if (connection >= 0) held.push_back(connection);
  }
}
