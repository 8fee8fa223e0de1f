#include "settings/ini_class.h"

#include <algorithm>
#include <chrono>
#include <string_view>

#include "settings/durable_file.h"
#include "settings/profile_file.h"

namespace {

constexpr std::size_t kBufferSize = 1024;

}  // namespace

void IniClass::SetIniFile(const std::string& file_name) {
  ini_file_name_ = file_name;
  // What a killed write left behind goes once it is surely no one's work in progress.
  if (!file_name.empty()) durable::RemoveStaleTemporaries(file_name, std::chrono::minutes(1));
}

std::string IniClass::GetIniString(const std::string& section, const std::string& key) const {
  // The reader fills a buffer of spaces: the value, its terminating NUL, then untouched filler.
  // Trimming spaces and then dropping NULs keeps spaces that end the value itself (a quoted
  // "50 " stays "50 ") while the filler goes.
  const std::string value = profile::ReadString(ini_file_name_, section, key, kBufferSize);
  std::string buffer(kBufferSize, ' ');
  std::copy(value.begin(), value.end(), buffer.begin());
  buffer[value.size()] = '\0';

  const std::size_t first = buffer.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  const std::size_t last = buffer.find_last_not_of(' ');
  std::string result = buffer.substr(first, last - first + 1);
  std::erase(result, '\0');
  return result;
}

bool IniClass::HasIniKey(const std::string& section, const std::string& key) const {
  return profile::HasKey(ini_file_name_, section, key);
}

void IniClass::WriteIniString(const std::string& section, const std::string& key,
                              const std::string& value) const {
  // An empty path would name no file at all; nothing is written before the path is known.
  if (ini_file_name_.empty()) return;
  // A settings file in the user's configuration folder may be the first thing in its folder.
  const std::size_t slash = ini_file_name_.rfind('/');
  if (slash != std::string::npos && slash > 0) {
    durable::MakeFolders(ini_file_name_.substr(0, slash));
  }
  profile::WriteString(ini_file_name_, section, key, value);
}

void IniClass::DeleteIniString(const std::string& section, const std::string& key) const {
  if (ini_file_name_.empty()) return;
  profile::DeleteString(ini_file_name_, section, key);
}
