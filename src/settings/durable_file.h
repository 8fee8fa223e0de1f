#pragma once

// Writing a file so that it is never found half written, and the folders and leftovers that
// come with it. Used for the settings file and for the start-at-login entry.

#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace durable {

// What a symbolic link at the path to be replaced stands for.
enum class Links {
  kFollow,   // a file the user placed elsewhere (a dotfile manager's System.ini): its target,
             // which must be a regular file, is replaced and the link kept
  kReplace,  // a file of our own in our own folder: the link itself gives way to the new file,
             // and nothing is ever written where it points
};

// The two calls whose order makes a replacement survive a power cut: the new bytes are synced
// before the rename puts them in the old file's place, and the folder after it. Tests put
// recorders here to see that order.
struct DiskCalls {
  int (*sync)(int fd) = ::fsync;
  int (*rename)(const char* from, const char* to) = std::rename;
};

// Replaces the file at `path` with `content` so that it is always either the complete old or
// the complete new file, even when the process dies or the disk fills up half way: the new
// content goes to a temporary file in the same folder that is renamed over the old one. Only
// when the folder refuses new files is the old file rewritten in place. Anything but a regular
// file (a folder, a FIFO, a device) is never replaced nor opened. The old file's permission
// bits are kept.
bool ReplaceFile(const std::string& path, std::string_view content, Links links = Links::kFollow,
                 const DiskCalls& calls = {});

// The last resort of ReplaceFile where the folder takes no new file: the existing regular file
// at `path` is overwritten in place with one write from its start. Content shorter than the old
// file is padded to its length with line breaks (blank lines, which profile and desktop-entry
// readers skip), so the file is never truncated: a kill at any moment leaves the old file or
// one that reads as the new. Room for longer content is reserved first; where it cannot be,
// nothing is written. `after_write` runs once the bytes are written, before the sync; tests
// stop the process there.
bool RewriteInPlace(const std::string& path, std::string_view content,
                    const std::function<void()>& after_write = {});

// Creates the missing folders of `path` the way the base-directory rules ask for, readable
// by the user alone. 0 or the errno of the step that failed.
int MakeFolders(const std::string& path);

// Removes temporary files that a writer killed between creating and renaming them left
// beside `path` ("<name>.tmp-XXXXXX"), once they are older than `min_age`: a younger one may
// belong to another copy of the program that is writing right now.
void RemoveStaleTemporaries(const std::string& path, std::chrono::seconds min_age);

}  // namespace durable
