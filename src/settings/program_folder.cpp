#include "settings/program_folder.h"

#include <unistd.h>

#include <vector>

namespace settings {

std::string FolderOf(std::string_view file_path) {
  const std::size_t slash = file_path.rfind('/');
  if (slash == std::string_view::npos) return {};
  return std::string(file_path.substr(0, slash == 0 ? 1 : slash));
}

std::string RunningProgramFolder(const std::string& exe_link) {
  // readlink does not say whether it had to cut the name: grow until it fits.
  for (std::size_t size = 256; size <= 65536; size *= 4) {
    std::vector<char> buffer(size);
    const ssize_t length = ::readlink(exe_link.c_str(), buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<std::size_t>(length) < buffer.size()) {
      return FolderOf(std::string_view(buffer.data(), static_cast<std::size_t>(length)));
    }
  }
  return {};
}

}  // namespace settings
