#pragma once

#include <string>
#include <vector>

namespace test_support {

// A fresh folder under the system's temporary folder, removed with everything in it.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }
  // Names of the entries in the folder, sorted.
  std::vector<std::string> Entries() const;

 private:
  std::string path_;
};

// Whole-file helpers; they fail the current test on an I/O error.
std::string ReadBytes(const std::string& path);
void WriteBytes(const std::string& path, const std::string& content);

}  // namespace test_support
