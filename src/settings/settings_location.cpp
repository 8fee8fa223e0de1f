#include "settings/settings_location.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "settings/stored_values.h"

namespace settings {
namespace {

// Where an installed copy's desktop entry lies, seen from its program folder.
constexpr std::string_view kInstalledEntry = "../share/applications/lumetta.desktop";

std::string Joined(std::string_view folder, std::string_view name) {
  std::string path(folder);
  if (path.empty() || path.back() != '/') path += '/';
  path += name;
  return path;
}

bool IsRegularFile(const std::string& path) {
  struct stat facts {};
  return ::stat(path.c_str(), &facts) == 0 && S_ISREG(facts.st_mode);
}

std::string HomeFromPasswordDatabase() {
  const long suggested = ::sysconf(_SC_GETPW_R_SIZE_MAX);
  std::vector<char> buffer(suggested > 0 ? static_cast<std::size_t>(suggested) : 16384);
  passwd entry{};
  passwd* found = nullptr;
  if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) != 0 ||
      found == nullptr || found->pw_dir == nullptr) {
    return {};
  }
  return found->pw_dir;
}

std::string_view Variable(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? std::string_view() : std::string_view(value);
}

}  // namespace

std::string UserConfigFolder(std::string_view xdg_config_home, std::string_view home) {
  if (!xdg_config_home.empty() && xdg_config_home.front() == '/') {
    return std::string(xdg_config_home);
  }
  if (home.empty() || home.front() != '/') return {};
  return Joined(home, ".config");
}

std::string ChooseSettingsFile(const ProgramFolder& folder, std::string_view config_folder) {
  const bool stays =
      !folder.path.empty() && (folder.has_settings || (folder.writable && !folder.installed));
  if (stays || config_folder.empty()) return SettingsFilePath(folder.path);
  return Joined(Joined(config_folder, kConfigFolderName), kSettingsFileName);
}

ProgramFolder ProbeProgramFolder(std::string_view program_dir) {
  ProgramFolder folder;
  folder.path = std::string(program_dir);
  folder.has_settings = IsRegularFile(SettingsFilePath(program_dir));
  folder.writable = ::access(folder.path.c_str(), W_OK | X_OK) == 0;
  folder.installed = IsRegularFile(Joined(program_dir, kInstalledEntry));
  return folder;
}

std::string ThisUserConfigFolder() {
  std::string home(Variable("HOME"));
  if (home.empty()) home = HomeFromPasswordDatabase();
  return UserConfigFolder(Variable("XDG_CONFIG_HOME"), home);
}

std::string SettingsFileFor(std::string_view program_dir) {
  return ChooseSettingsFile(ProbeProgramFolder(program_dir), ThisUserConfigFolder());
}

}  // namespace settings
