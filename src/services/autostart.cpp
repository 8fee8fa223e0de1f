#include "services/autostart.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "settings/durable_file.h"
#include "text/ascii_case.h"
#include "text/converter.h"

namespace services {
namespace {

// The file is UTF-8 and a string value holds no control characters. An escaped newline would
// still be one inside the command line, where launchers do not agree what it means. A percent
// sign has to be written "%%" in Exec, but GLib's launcher looks for the program before it
// undoes that, finds none and refuses the whole entry; no entry can name such a path.
bool CanBeWritten(std::string_view path) {
  while (!path.empty()) {
    const auto byte = static_cast<unsigned char>(path.front());
    if (byte < 0x20 || byte == 0x7F || byte == '%') return false;
    const std::size_t length = text::Utf8CharLength(path);
    if (length == 0) return false;
    path.remove_prefix(length);
  }
  return true;
}

// Always quoted: harmless for plain paths and one rule less to get wrong.
std::string QuotedArgument(std::string_view path) {
  std::string argument = "\"";
  for (const char c : path) {
    if (c == '"' || c == '`' || c == '$' || c == '\\') argument += '\\';
    argument += c;
  }
  argument += '"';
  return argument;
}

// A string value: only the key file's own escape of the backslash applies. In Exec it comes on
// top of the argument's quoting, so a backslash there doubles again.
std::string StringValue(std::string_view text) {
  std::string value;
  for (const char c : text) {
    if (c == '\\') value += '\\';
    value += c;
  }
  return value;
}

}  // namespace

std::string CommandPath(std::string_view program_dir) {
  // An unknown folder names no program; "/Tessal" would be another one.
  if (program_dir.empty()) return {};
  std::string path(program_dir);
  if (!path.ends_with('/')) path += '/';
  path += kProgramName;
  return path;
}

std::string AutostartEntryText(std::string_view command_path) {
  if (command_path.empty() || !CanBeWritten(command_path)) return {};
  std::string entry = "[Desktop Entry]\nType=Application\nName=";
  entry += kProgramName;
  // A removed program leaves no login item behind that fails at every login: launchers skip
  // an entry whose TryExec is missing.
  entry += "\nTryExec=";
  entry += StringValue(command_path);
  entry += "\nExec=";
  entry += StringValue(QuotedArgument(command_path));
  entry += '\n';
  return entry;
}

}  // namespace services

namespace Code {
namespace {

// Only the user-interface thread sets the entry, as only it wrote the registry.
int reg_last_result = 0;

std::string EntryPath(const std::string& autostart_dir, std::string_view name) {
  std::string path = autostart_dir;
  if (!path.ends_with('/')) path += '/';
  path += name;
  path += ".desktop";
  return path;
}

bool IsValidName(std::string_view name) {
  return !name.empty() && name.find('/') == std::string_view::npos && name != "." && name != "..";
}

}  // namespace

int RegLastResult() { return reg_last_result; }

void SetRegValue(const std::string& autostart_dir, std::string_view name,
                 const std::string& command_path) {
  const std::string entry = services::AutostartEntryText(command_path);
  if (entry.empty() || !IsValidName(name)) {
    reg_last_result = EINVAL;
    return;
  }
  reg_last_result = durable::MakeFolders(autostart_dir);
  if (reg_last_result != 0) return;

  const std::string path = EntryPath(autostart_dir, name);
  // What a killed write left behind goes once it is surely no one's work in progress.
  durable::RemoveStaleTemporaries(path, std::chrono::minutes(1));
  errno = 0;
  // Our own file in our own folder: a link in its place is replaced, never written through.
  if (durable::ReplaceFile(path, entry, durable::Links::kReplace)) {
    reg_last_result = 0;
  } else {
    // Some refusals (a folder in the entry's place) set no errno of their own.
    reg_last_result = errno != 0 ? errno : EIO;
  }
}

void DeleteRegValue(const std::string& autostart_dir, std::string_view name) {
  if (!IsValidName(name)) {
    reg_last_result = EINVAL;
    return;
  }
  const std::string path = EntryPath(autostart_dir, name);
  reg_last_result = ::unlink(path.c_str()) == 0 ? 0 : errno;
}

}  // namespace Code
