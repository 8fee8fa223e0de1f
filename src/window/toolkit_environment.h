#pragma once

// Variables the window toolkit reads once, while the application is made. They are set for
// that moment only: the programs the panel opens later get the user's environment as it was.

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace window {

class ToolkitEnvironment {
 public:
  ToolkitEnvironment() = default;
  ToolkitEnvironment(const ToolkitEnvironment&) = delete;
  ToolkitEnvironment& operator=(const ToolkitEnvironment&) = delete;
  ~ToolkitEnvironment() { Restore(); }

  // Sets `name` to `value` until Restore.
  void Set(const std::string& name, const std::string& value);

  // Puts back every variable Set changed, as it was before the first Set of it.
  void Restore();

 private:
  // In the order first set; nullopt where the variable was not there.
  std::vector<std::pair<std::string, std::optional<std::string>>> before_;
};

}  // namespace window
