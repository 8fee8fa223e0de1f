#include "window/toolkit_environment.h"

#include <algorithm>
#include <cstdlib>

namespace window {

void ToolkitEnvironment::Set(const std::string& name, const std::string& value) {
  const bool seen = std::any_of(before_.begin(), before_.end(),
                                [&name](const auto& entry) { return entry.first == name; });
  if (!seen) {
    const char* old = std::getenv(name.c_str());
    before_.emplace_back(name, old == nullptr ? std::nullopt : std::optional<std::string>(old));
  }
  ::setenv(name.c_str(), value.c_str(), 1);
}

void ToolkitEnvironment::Restore() {
  for (const auto& [name, old] : before_) {
    if (old) {
      ::setenv(name.c_str(), old->c_str(), 1);
    } else {
      ::unsetenv(name.c_str());
    }
  }
  before_.clear();
}

}  // namespace window
