#include "services/library_trust.h"

#include <sys/stat.h>
#include <unistd.h>

namespace services {

bool IsTrustedLibraryFile(const std::string& path) {
  struct stat info {};
  // lstat: a link is judged as itself, so it never borrows the standing of its target.
  if (::lstat(path.c_str(), &info) != 0) return false;
  if (!S_ISREG(info.st_mode)) return false;
  if (info.st_uid != ::geteuid() && info.st_uid != 0) return false;
  return (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

}  // namespace services
