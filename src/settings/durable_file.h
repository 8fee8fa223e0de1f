#pragma once

// Writing a file so that it is never found half written, and the folders and leftovers that
// come with it. Used for the settings file and for the start-at-login entry.

#include <chrono>
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

// Replaces the file at `path` with `content` so that it is always either the complete old or
// the complete new file, even when the process dies or the disk fills up half way: the new
// content goes to a temporary file in the same folder that is renamed over the old one. Only
// when the folder refuses new files is the old file rewritten in place. Anything but a regular
// file (a folder, a FIFO, a device) is never replaced nor opened. The old file's permission
// bits are kept.
bool ReplaceFile(const std::string& path, std::string_view content, Links links = Links::kFollow);

// Creates the missing folders of `path` the way the base-directory rules ask for, readable
// by the user alone. 0 or the errno of the step that failed.
int MakeFolders(const std::string& path);

// Removes temporary files that a writer killed between creating and renaming them left
// beside `path` ("<name>.tmp-XXXXXX"), once they are older than `min_age`: a younger one may
// belong to another copy of the program that is writing right now.
void RemoveStaleTemporaries(const std::string& path, std::chrono::seconds min_age);

}  // namespace durable
