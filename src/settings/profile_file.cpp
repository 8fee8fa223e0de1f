#include "settings/profile_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <stdexcept>
#include <vector>

#include "settings/durable_file.h"
#include "text/ascii_case.h"

namespace profile {
namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";
constexpr std::string_view kNewLine = "\r\n";

// One line of the file: its text runs from begin to text_end, its line break (if any) from
// text_end to end.
struct Line {
  std::size_t begin;
  std::size_t text_end;
  std::size_t end;
};

enum class LineKind { kOther, kSection, kKey };

// What a line means: a section header with its name, a key line with its key and value (both
// without the blanks around them), or anything else.
struct ParsedLine {
  LineKind kind = LineKind::kOther;
  std::string_view name;
  std::string_view value;
};

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back())) text.remove_suffix(1);
  return text;
}

// Splits at CRLF, LF and CR. A UTF-8 byte-order mark before the first line is not part of it.
std::vector<Line> SplitLines(std::string_view content) {
  std::vector<Line> lines;
  std::size_t pos = content.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0;
  while (pos < content.size()) {
    Line line{pos, pos, pos};
    while (line.text_end < content.size() && content[line.text_end] != '\r' &&
           content[line.text_end] != '\n') {
      ++line.text_end;
    }
    line.end = line.text_end;
    if (line.end < content.size()) {
      const bool crlf = content[line.end] == '\r' && line.end + 1 < content.size() &&
                        content[line.end + 1] == '\n';
      line.end += crlf ? 2 : 1;
    }
    lines.push_back(line);
    pos = line.end;
  }
  return lines;
}

std::string_view TextOf(std::string_view content, const Line& line) {
  return content.substr(line.begin, line.text_end - line.begin);
}

// There are no comments: `;` and `#` are ordinary characters. A header's name ends at its first
// `]`; a `[` without one starts no section. A key line needs an `=`, and blank names are none.
ParsedLine ParseLine(std::string_view text) {
  ParsedLine parsed;
  text = TrimBlanks(text);
  if (text.starts_with('[')) {
    const std::size_t close = text.find(']');
    if (close != std::string_view::npos) {
      parsed.kind = LineKind::kSection;
      parsed.name = TrimBlanks(text.substr(1, close - 1));
      return parsed;
    }
  }
  const std::size_t equals = text.find('=');
  if (equals == std::string_view::npos) return parsed;
  parsed.name = TrimBlanks(text.substr(0, equals));
  if (parsed.name.empty()) return parsed;
  parsed.kind = LineKind::kKey;
  parsed.value = TrimBlanks(text.substr(equals + 1));
  return parsed;
}

std::string_view StripQuotes(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    return value.substr(1, value.size() - 2);
  }
  return value;
}

// Where a section and a key stand in the file. Indices are into the line list; a missing
// section or key is npos.
struct Location {
  static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
  std::size_t section = kNone;
  std::size_t key = kNone;
  std::size_t last_filled = kNone;  // last non-blank line of the section, its header at least
  std::string_view key_name;        // the key as spelt in the file
  std::string_view raw_value;       // the value without blanks, quotes still on
};

// Only the first section of that name counts, and in it only the first key of that name.
Location Locate(std::string_view content, const std::vector<Line>& lines, std::string_view section,
                std::string_view key) {
  Location found;
  section = TrimBlanks(section);
  key = TrimBlanks(key);
  if (section.empty()) return found;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const std::string_view text = TextOf(content, lines[i]);
    const ParsedLine parsed = ParseLine(text);
    if (found.section == Location::kNone) {
      if (parsed.kind == LineKind::kSection && text::EqualsIgnoreAsciiCase(parsed.name, section)) {
        found.section = i;
        found.last_filled = i;
      }
      continue;
    }
    if (parsed.kind == LineKind::kSection) break;
    if (!TrimBlanks(text).empty()) found.last_filled = i;
    if (parsed.kind == LineKind::kKey && !key.empty() &&
        text::EqualsIgnoreAsciiCase(parsed.name, key)) {
      found.key = i;
      found.key_name = parsed.name;
      found.raw_value = parsed.value;
      break;
    }
  }
  return found;
}

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

}  // namespace

std::optional<std::string> FindValue(std::string_view content, std::string_view section,
                                     std::string_view key) {
  const std::vector<Line> lines = SplitLines(content);
  const Location found = Locate(content, lines, section, key);
  if (found.key == Location::kNone) return std::nullopt;
  return std::string(StripQuotes(found.raw_value));
}

std::string GetString(std::string_view content, std::string_view section, std::string_view key,
                      std::size_t buffer_size) {
  if (buffer_size == 0) return {};
  std::optional<std::string> value = FindValue(content, section, key);
  if (!value) return {};
  if (value->size() > buffer_size - 1) value->resize(buffer_size - 1);
  return *std::move(value);
}

bool CanStore(std::string_view section, std::string_view key, std::string_view value) {
  // The reader drops blanks around a value and one pair of enclosing quotes, and takes a line
  // that starts with `[` and holds a `]` for a section header: such texts would not read back.
  const bool value_reads_back =
      TrimBlanks(value).size() == value.size() && StripQuotes(value).size() == value.size();
  return !TrimBlanks(section).empty() && !TrimBlanks(key).empty() && !HasLineBreakOrNul(section) &&
         !HasLineBreakOrNul(key) && !HasLineBreakOrNul(value) &&
         section.find(']') == std::string_view::npos && key.find('=') == std::string_view::npos &&
         !TrimBlanks(key).starts_with('[') && value_reads_back;
}

std::optional<std::string> SetValue(std::string_view content, std::string_view section,
                                    std::string_view key, std::string_view value) {
  if (!CanStore(section, key, value)) {
    throw std::invalid_argument("profile::SetValue: section, key or value cannot be stored");
  }
  section = TrimBlanks(section);
  key = TrimBlanks(key);
  const std::vector<Line> lines = SplitLines(content);
  const Location found = Locate(content, lines, section, key);
  std::string result;

  if (found.section == Location::kNone) {
    result.reserve(content.size() + section.size() + key.size() + value.size() + 10);
    result.append(content);
    const bool empty = content.size() == (content.starts_with(kUtf8Bom) ? kUtf8Bom.size() : 0);
    if (!empty && content.back() != '\n' && content.back() != '\r') result.append(kNewLine);
    result.append("[").append(section).append("]").append(kNewLine);
    result.append(key).append("=").append(value).append(kNewLine);
    return result;
  }

  if (found.key != Location::kNone) {
    if (found.raw_value == value) return std::nullopt;
    const Line& line = lines[found.key];
    result.reserve(content.size() + value.size());
    result.append(content.substr(0, line.begin));
    result.append(found.key_name).append("=").append(value);
    result.append(content.substr(line.text_end));
    return result;
  }

  const Line& after = lines[found.last_filled];
  result.reserve(content.size() + key.size() + value.size() + 5);
  result.append(content.substr(0, after.end));
  if (after.end == after.text_end) result.append(kNewLine);
  result.append(key).append("=").append(value).append(kNewLine);
  result.append(content.substr(after.end));
  return result;
}

std::optional<std::string> RemoveValue(std::string_view content, std::string_view section,
                                       std::string_view key) {
  const std::vector<Line> lines = SplitLines(content);
  const Location found = Locate(content, lines, section, key);
  if (found.key == Location::kNone) return std::nullopt;
  const Line& line = lines[found.key];
  std::string result(content.substr(0, line.begin));
  result.append(content.substr(line.end));
  return result;
}

// Only a regular file is read, directly or through a link: opening a FIFO without O_NONBLOCK
// would wait for a writer that never comes.
bool ReadFile(const std::string& path, std::string* content, int* error) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) {
    *error = errno;
    return false;
  }
  struct stat facts {};
  if (::fstat(fd, &facts) != 0 || !S_ISREG(facts.st_mode)) {
    *error = S_ISDIR(facts.st_mode) ? EISDIR : EINVAL;
    ::close(fd);
    return false;
  }
  content->clear();
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      *error = errno;
      ::close(fd);
      return false;
    }
    if (got == 0) break;
    content->append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fd);
  return true;
}

std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                       std::size_t buffer_size) {
  std::string content;
  int error = 0;
  if (path.empty() || !ReadFile(path, &content, &error)) return {};
  return GetString(content, section, key, buffer_size);
}

bool HasKey(const std::string& path, std::string_view section, std::string_view key) {
  std::string content;
  int error = 0;
  if (path.empty() || !ReadFile(path, &content, &error)) return false;
  return FindValue(content, section, key).has_value();
}

bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                 std::string_view value) {
  if (path.empty() || !CanStore(section, key, value)) return false;
  std::string content;
  int error = 0;
  // Only a missing file starts empty; one that exists but cannot be read must not be replaced.
  if (!ReadFile(path, &content, &error) && error != ENOENT) return false;
  const std::optional<std::string> updated = SetValue(content, section, key, value);
  if (!updated) return true;
  return durable::ReplaceFile(path, *updated);
}

bool DeleteString(const std::string& path, std::string_view section, std::string_view key) {
  if (path.empty()) return false;
  std::string content;
  int error = 0;
  if (!ReadFile(path, &content, &error)) return error == ENOENT;
  const std::optional<std::string> updated = RemoveValue(content, section, key);
  if (!updated) return true;
  return durable::ReplaceFile(path, *updated);
}

}  // namespace profile
