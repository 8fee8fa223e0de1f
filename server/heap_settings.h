#pragma once

namespace lumetta_server {

// Sets up this process's heap for serving, before any thread starts. Its connections are served
// on many threads, and each thread would draw from an allocator arena of its own; the day's
// record and the replies built from it then spread over all of them, and every arena keeps its
// own high-water mark, a few megabytes in a day. The answers are made on one thread at a time
// almost always, so one arena costs no waiting and keeps the memory near what is held.
void ShareOneHeap();

}  // namespace lumetta_server
