#include "settings/ini_class.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <string_view>
#include <utility>

#include "settings/durable_file.h"
#include "settings/profile_file.h"

namespace {

constexpr std::size_t kBufferSize = 1024;

// A settings file in the user's configuration folder may be the first thing in its folder.
void MakeParentFolders(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash != std::string::npos && slash > 0) durable::MakeFolders(path.substr(0, slash));
}

}  // namespace

void IniClass::SetIniFile(const std::string& file_name) {
  EndBatch();
  ini_file_name_ = file_name;
  // What a killed write left behind goes once it is surely no one's work in progress.
  if (!file_name.empty()) durable::RemoveStaleTemporaries(file_name, std::chrono::minutes(1));
}

std::string IniClass::GetIniString(const std::string& section, const std::string& key) const {
  // The reader fills a buffer of spaces: the value, its terminating NUL, then untouched filler.
  // Trimming spaces and then dropping NULs keeps spaces that end the value itself (a quoted
  // "50 " stays "50 ") while the filler goes.
  const std::string value = batch_ ? profile::GetString(batch_->content, section, key, kBufferSize)
                                   : profile::ReadString(ini_file_name_, section, key, kBufferSize);
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
  if (batch_) return profile::FindValue(batch_->content, section, key).has_value();
  return profile::HasKey(ini_file_name_, section, key);
}

void IniClass::WriteIniString(const std::string& section, const std::string& key,
                              const std::string& value) const {
  // An empty path would name no file at all; nothing is written before the path is known.
  if (ini_file_name_.empty()) return;
  if (batch_) {
    if (!batch_->can_write || !profile::CanStore(section, key, value)) return;
    if (auto updated = profile::SetValue(batch_->content, section, key, value)) {
      batch_->content = std::move(*updated);
      batch_->changed = true;
    }
    return;
  }
  MakeParentFolders(ini_file_name_);
  profile::WriteString(ini_file_name_, section, key, value);
}

void IniClass::DeleteIniString(const std::string& section, const std::string& key) const {
  if (ini_file_name_.empty()) return;
  if (batch_) {
    if (!batch_->can_write) return;
    if (auto updated = profile::RemoveValue(batch_->content, section, key)) {
      batch_->content = std::move(*updated);
      batch_->changed = true;
    }
    return;
  }
  profile::DeleteString(ini_file_name_, section, key);
}

void IniClass::BeginBatch() {
  if (ini_file_name_.empty() || batch_) return;
  Batch batch;
  int error = 0;
  batch.can_write = profile::ReadFile(ini_file_name_, &batch.content, &error) || error == ENOENT;
  batch_ = std::move(batch);
}

void IniClass::EndBatch() {
  if (!batch_) return;
  const Batch batch = std::move(*batch_);
  batch_.reset();
  if (!batch.changed) return;
  MakeParentFolders(ini_file_name_);
  durable::ReplaceFile(ini_file_name_, batch.content);
}
