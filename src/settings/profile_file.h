#pragma once

// Reader and writer of Windows profile (INI) files with the rules of the Windows profile
// functions, so that a System.ini written on either side reads the same on the other.
//
// The text logic works on the file's bytes held in memory; the file functions at the bottom
// add the disk access around it. Names and values are bytes passed through unchanged (ANSI or
// UTF-8); only ASCII letters are compared without regard to case.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace profile {

// The buffer size the settings reader has always used: values come back cut to 1023 bytes.
inline constexpr std::size_t kDefaultBufferSize = 1024;

// The value of `key` in the first section named `section`, with blanks around it and one pair
// of enclosing quotes removed; nullopt when the section or the key is missing.
std::optional<std::string> FindValue(std::string_view content, std::string_view section,
                                     std::string_view key);

// FindValue as a bounded read: at most buffer_size - 1 bytes, the empty text when missing.
std::string GetString(std::string_view content, std::string_view section, std::string_view key,
                      std::size_t buffer_size = kDefaultBufferSize);

// True when the names and the value can be stored as one `key=value` line that reads back as
// written: the names are not blank, no text holds a line break or a NUL, the section name no
// `]`, the key no `=` and no leading `[`, and the value neither begins nor ends with a blank
// nor stands in a pair of quotes.
bool CanStore(std::string_view section, std::string_view key, std::string_view value);

// The content after setting `key` in `section` to `value`, or nullopt when the file already
// holds that value and nothing has to change. Every line that is not the key's own is kept
// byte for byte. Throws std::invalid_argument when CanStore is false.
std::optional<std::string> SetValue(std::string_view content, std::string_view section,
                                    std::string_view key, std::string_view value);

// The content without `key`'s line in `section`, every other line kept byte for byte; nullopt
// when the key is not there and nothing has to change.
std::optional<std::string> RemoveValue(std::string_view content, std::string_view section,
                                       std::string_view key);

// The bytes of the file at `path`, a regular file read directly or through a link. False when
// it cannot be read, with the reason's errno value in `error` (ENOENT for a missing file).
bool ReadFile(const std::string& path, std::string* content, int* error);

// GetString over the file at `path`; a file that cannot be read reads as empty.
std::string ReadString(const std::string& path, std::string_view section, std::string_view key,
                       std::size_t buffer_size = kDefaultBufferSize);

// Whether the file at `path` holds `key` in `section`, even with an empty value; a file that
// cannot be read holds nothing.
bool HasKey(const std::string& path, std::string_view section, std::string_view key);

// SetValue over the file at `path`, creating the file and the section when missing, written
// whole through durable::ReplaceFile. Returns false when nothing could be stored; the old file
// is then left as it was. An unchanged value leaves the file untouched and counts as success.
bool WriteString(const std::string& path, std::string_view section, std::string_view key,
                 std::string_view value);

// RemoveValue over the file at `path`, written whole like WriteString. A missing file or key
// counts as success and leaves the disk untouched.
bool DeleteString(const std::string& path, std::string_view section, std::string_view key);

}  // namespace profile
