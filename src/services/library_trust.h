#pragma once

// Which files the program may load code from. A library that another user could have put
// in place or changed would run with the rights of the user who runs the panel.

#include <string>

namespace services {

// True only for a regular file (not followed through a symbolic link) owned by the current
// user or by root that neither group nor others may write. Anything else, a missing file
// included, is false.
bool IsTrustedLibraryFile(const std::string& path);

}  // namespace services
