#pragma once

// The settings file module: remembers where System.ini is and reads and writes its keys.
// Failures are never reported: a read that finds nothing gives the empty text, a write that
// cannot be done is lost and the program goes on with the values it holds.

#include <optional>
#include <string>

// One settings file, owned by whoever holds the object (the panel holds one), so no path is
// shared between unrelated users of the module.
class IniClass {
 public:
  // Sets the full path of the settings file (`IniFileName`). Until it is set, reads give the
  // empty text and writes go nowhere. An open batch is stored first.
  void SetIniFile(const std::string& file_name);
  const std::string& IniFileName() const { return ini_file_name_; }

  // The value of `key` in `section`, at most 1023 bytes, without leading and trailing spaces and
  // without NUL bytes; the empty text when the file, the section or the key is missing.
  std::string GetIniString(const std::string& section, const std::string& key) const;

  // Whether `key` is in `section` at all: a key written empty is there, a missing one is not.
  bool HasIniKey(const std::string& section, const std::string& key) const;

  // Stores `value` under `key` in `section`, creating the file and the section when needed.
  void WriteIniString(const std::string& section, const std::string& key,
                      const std::string& value) const;

  // Removes `key` from `section`; the rest of the file stays as it was.
  void DeleteIniString(const std::string& section, const std::string& key) const;

  // Start-up stores several values in a row. From BeginBatch to EndBatch reads and writes work
  // on the file's text read once, and EndBatch stores the outcome with one durable write instead
  // of one per value (none when nothing changed). The file ends as the same writes one by one
  // would have left it. EndBatch with no batch open does nothing.
  void BeginBatch();
  void EndBatch();

 private:
  struct Batch {
    std::string content;
    // A file that exists but cannot be read is never replaced.
    bool can_write = false;
    bool changed = false;
  };

  std::string ini_file_name_;
  // Writes go through const holders of the settings, as they would to the disk.
  mutable std::optional<Batch> batch_;
};
