#include "settings/durable_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace durable {
namespace {

// Between the file's name and the six random characters of a temporary file: distinctive, so
// that a user's own "System.ini.backup" is never taken for one.
constexpr std::string_view kTemporaryInfix = ".tmp-";

bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t written = ::write(fd, data.data(), data.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

// umask() can only be read by changing it, which would race with other threads creating files;
// the kernel reports it in /proc instead.
mode_t CurrentUmask() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (!line.starts_with("Umask:")) continue;
    const std::string_view field = std::string_view(line).substr(6);
    const std::size_t first = field.find_first_not_of(" \t");
    if (first == std::string_view::npos) continue;
    const std::string_view digits = field.substr(first, field.find_last_not_of(" \t") + 1 - first);
    unsigned mask = 0;
    const auto [end, error] =
        std::from_chars(digits.data(), digits.data() + digits.size(), mask, 8);
    if (error == std::errc() && end == digits.data() + digits.size()) {
      return static_cast<mode_t>(mask & 0777);
    }
  }
  return 022;
}

}  // namespace

// The path is never a link here, and a FIFO swapped in since it was checked must neither block
// the open nor be written to.
bool RewriteInPlace(const std::string& path, std::string_view content,
                    const std::function<void()>& after_write) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return false;
  struct stat old_stat {};
  if (::fstat(fd, &old_stat) != 0 || !S_ISREG(old_stat.st_mode)) {
    ::close(fd);
    return false;
  }
  // Shorter content is padded to the old length with line breaks, which the readers skip: the
  // file never needs truncating, so no moment exists where the old tail follows the new text.
  std::string padded(content);
  const auto old_size = static_cast<std::size_t>(old_stat.st_size);
  if (padded.size() < old_size) padded.append(old_size - padded.size(), '\n');
  // Room for longer content is reserved before the first byte changes, and without growing the
  // file, so a full disk or a kill before the write still leaves the old file whole.
  if (padded.size() > old_size &&
      ::fallocate(fd, FALLOC_FL_KEEP_SIZE, 0, static_cast<off_t>(padded.size())) != 0) {
    ::close(fd);
    return false;
  }
  // One write from the start: a kill lands before or after it (for files up to a page, which
  // the kernel writes whole once it has begun).
  bool ok = WriteAll(fd, padded);
  if (ok && after_write) after_write();
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  return ok;
}

bool ReplaceFile(const std::string& path, std::string_view content, Links links,
                 const DiskCalls& calls) {
  if (path.empty()) return false;
  std::string target = path;
  struct stat link_stat {};
  const bool is_link = ::lstat(path.c_str(), &link_stat) == 0 && S_ISLNK(link_stat.st_mode);
  if (is_link && links == Links::kFollow) {
    // Renaming over a link would replace the link itself; write where it points instead.
    char* resolved = ::realpath(path.c_str(), nullptr);
    if (resolved == nullptr) return false;
    target = resolved;
    std::free(resolved);  // NOLINT(cppcoreguidelines-no-malloc): realpath allocates with malloc
  }

  struct stat old_stat {};
  bool existed = false;
  mode_t mode = 0;
  // A link that is to be replaced counts as no file: where it pointed plays no part, not even
  // for the mode.
  const bool replace_link = is_link && links == Links::kReplace;
  if (!replace_link && ::stat(target.c_str(), &old_stat) == 0) {
    if (!S_ISREG(old_stat.st_mode)) return false;
    existed = true;
    mode = old_stat.st_mode & 07777;
  } else if (replace_link || errno == ENOENT) {
    mode = 0666 & ~CurrentUmask();
  } else {
    return false;
  }

  std::string temp_name = target + std::string(kTemporaryInfix) + "XXXXXX";
  const int fd = ::mkostemp(temp_name.data(), O_CLOEXEC);
  if (fd < 0) {
    const bool folder_refuses = errno == EACCES || errno == EPERM;
    return existed && folder_refuses && RewriteInPlace(target, content);
  }
  bool ok = WriteAll(fd, content) && ::fchmod(fd, mode) == 0 && calls.sync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  if (!ok || calls.rename(temp_name.c_str(), target.c_str()) != 0) {
    ::unlink(temp_name.c_str());
    return false;
  }

  // Make the rename itself durable. The new file is in place either way, so a folder that
  // cannot be synced does not turn the write into a failure.
  const std::size_t slash = target.rfind('/');
  const std::string folder = slash == std::string::npos ? "." : target.substr(0, slash + 1);
  const int folder_fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folder_fd >= 0) {
    calls.sync(folder_fd);
    ::close(folder_fd);
  }
  return true;
}

int MakeFolders(const std::string& path) {
  if (path.empty()) return ENOENT;
  const auto is_folder = [&path] {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
  };
  if (is_folder()) return 0;
  for (std::size_t end = path.find('/', 1);; end = path.find('/', end + 1)) {
    const std::string prefix = path.substr(0, end);
    if (::mkdir(prefix.c_str(), 0700) != 0 && errno != EEXIST) return errno;
    if (end == std::string::npos) break;
  }
  // EEXIST also comes for a file of that name.
  return is_folder() ? 0 : ENOTDIR;
}

void RemoveStaleTemporaries(const std::string& path, std::chrono::seconds min_age) {
  namespace fs = std::filesystem;
  const fs::path target(path);
  const std::string prefix = target.filename().string() + std::string(kTemporaryInfix);
  const auto now = fs::file_time_type::clock::now();
  std::error_code error;
  for (const fs::directory_entry& entry :
       fs::directory_iterator(target.parent_path().empty() ? "." : target.parent_path(), error)) {
    const std::string name = entry.path().filename().string();
    // Exactly the pattern of our temporary files: the name, the infix, six characters.
    if (name.size() != prefix.size() + 6 || name.compare(0, prefix.size(), prefix) != 0) continue;
    if (!entry.is_regular_file(error)) continue;
    const auto written = entry.last_write_time(error);
    if (error || now - written < min_age) continue;
    fs::remove(entry.path(), error);
  }
}

}  // namespace durable
