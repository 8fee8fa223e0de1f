// The quote server's host, fixed when the program is built. Kept apart from the other
// addresses so that one build can produce programs that talk to different servers.

#include "net/endpoints.h"

namespace endpoints {

std::string DefaultServerHost() { return LUMETTA_SERVER_HOST; }

}  // namespace endpoints
