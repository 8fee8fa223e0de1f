// System.ini can be edited by hand: the reader must cope with any content, and the writer must
// store exactly what it is given while leaving every other line of the file alone.

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "settings/profile_file.h"

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The lines with their line breaks (CRLF, LF or CR), so that equal lines are equal bytes.
std::vector<std::string_view> LinesWithBreaks(std::string_view content) {
  std::vector<std::string_view> lines;
  while (!content.empty()) {
    std::size_t end = content.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      end = content.size();
    } else if (content[end] == '\r' && end + 1 < content.size() && content[end + 1] == '\n') {
      end += 2;
    } else {
      end += 1;
    }
    lines.push_back(content.substr(0, end));
    content.remove_prefix(end);
  }
  return lines;
}

// `after` is `before` with the key's line replaced (when the key was there) or with new lines
// inserted in one place: the key, and its section before it when that was missing. A last line
// without a line break may gain one, so that the new line starts a line of its own.
void CheckOtherLinesKept(std::string_view before, std::string_view after, bool key_existed) {
  LUMETTA_FUZZ_CHECK(before.starts_with(kUtf8Bom) == after.starts_with(kUtf8Bom));
  if (before.starts_with(kUtf8Bom)) {
    before.remove_prefix(kUtf8Bom.size());
    after.remove_prefix(kUtf8Bom.size());
  }
  const std::vector<std::string_view> old_lines = LinesWithBreaks(before);
  const std::vector<std::string_view> new_lines = LinesWithBreaks(after);
  const std::size_t common = std::min(old_lines.size(), new_lines.size());
  std::size_t prefix = 0;
  while (prefix < common && old_lines[prefix] == new_lines[prefix]) ++prefix;
  std::size_t suffix = 0;
  while (prefix + suffix < common &&
         old_lines[old_lines.size() - 1 - suffix] == new_lines[new_lines.size() - 1 - suffix]) {
    ++suffix;
  }
  const std::size_t removed = old_lines.size() - prefix - suffix;
  const std::size_t added = new_lines.size() - prefix - suffix;
  if (key_existed) {
    LUMETTA_FUZZ_CHECK(removed == 1 && added == 1);
  } else if (removed == 0) {
    LUMETTA_FUZZ_CHECK(added >= 1 && added <= 2);
  } else {
    LUMETTA_FUZZ_CHECK(removed == 1 && suffix == 0 && prefix + 1 == old_lines.size());
    LUMETTA_FUZZ_CHECK(new_lines[prefix] == std::string(old_lines[prefix]) + "\r\n");
    LUMETTA_FUZZ_CHECK(added >= 2 && added <= 3);
  }
}

void CheckRead(std::string_view content, std::string_view section, std::string_view key,
               std::size_t buffer_size) {
  const std::optional<std::string> found = profile::FindValue(content, section, key);
  if (found) {
    // A value is what one line holds.
    LUMETTA_FUZZ_CHECK(found->find_first_of("\r\n") == std::string::npos);
  }
  const std::string got = profile::GetString(content, section, key, buffer_size);
  LUMETTA_FUZZ_CHECK(got == (found ? found->substr(0, buffer_size - 1) : std::string()));
}

bool HasLineBreakOrNul(std::string_view text) {
  return text.find_first_of(std::string_view("\r\n\0", 3)) != std::string_view::npos;
}

void CheckWrite(std::string_view content, std::string_view section, std::string_view key,
                std::string_view value) {
  if (!profile::CanStore(section, key, value)) {
    bool thrown = false;
    try {
      static_cast<void>(profile::SetValue(content, section, key, value));
    } catch (const std::invalid_argument&) {
      thrown = true;
    }
    LUMETTA_FUZZ_CHECK(thrown);
    return;
  }
  LUMETTA_FUZZ_CHECK(!HasLineBreakOrNul(section) && !HasLineBreakOrNul(key) &&
                     !HasLineBreakOrNul(value));
  LUMETTA_FUZZ_CHECK(section.find(']') == std::string_view::npos);
  LUMETTA_FUZZ_CHECK(key.find('=') == std::string_view::npos);

  const bool key_existed = profile::FindValue(content, section, key).has_value();
  const std::optional<std::string> updated = profile::SetValue(content, section, key, value);
  // Nothing to change means the file already holds the key.
  if (!updated) LUMETTA_FUZZ_CHECK(key_existed);
  const std::string_view stored = updated ? std::string_view(*updated) : content;

  LUMETTA_FUZZ_CHECK(profile::FindValue(stored, section, key) == value);
  LUMETTA_FUZZ_CHECK(profile::GetString(stored, section, key, value.size() + 1) == value);
  LUMETTA_FUZZ_CHECK(profile::GetString(stored, section, key) ==
                     value.substr(0, profile::kDefaultBufferSize - 1));
  if (updated) CheckOtherLinesKept(content, *updated, key_existed);
}

}  // namespace

// Input: one byte of flags (bit 0: byte 1 of the content stands for a NUL, which the fields
// cannot hold), one byte of buffer size for the bounded read (0: the default), then the fields
// content, section, key and value.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const std::uint8_t flags = input.TakeByte();
  const std::uint8_t buffer_byte = input.TakeByte();
  std::string content(input.TakeField());
  if ((flags & 1U) != 0) std::replace(content.begin(), content.end(), '\x01', '\0');
  const std::string_view section = input.TakeField();
  const std::string_view key = input.TakeField();
  const std::string_view value = input.TakeField();
  const std::size_t buffer_size = buffer_byte == 0 ? profile::kDefaultBufferSize : buffer_byte;

  CheckRead(content, section, key, buffer_size);
  CheckWrite(content, section, key, value);
  return 0;
}
