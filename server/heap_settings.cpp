#include "server/heap_settings.h"

#include <malloc.h>

namespace lumetta_server {

void ShareOneHeap() { mallopt(M_ARENA_MAX, 1); }

}  // namespace lumetta_server
