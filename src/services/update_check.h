#pragma once

// The update check's decision: from the server's version record and the mode of the check to
// the message the user sees, if any.

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace services {

inline constexpr std::string_view kRunningVersion = "1.0";

struct UpdateMessage {
  std::string text;          // UTF-8
  std::string title;         // UTF-8
  bool with_cancel = false;  // OK and Cancel; otherwise OK alone (question icon either way)
  // Set for the update prompt: OK opens this address and ends the program.
  std::optional<std::string> download_address;
};

// The server's texts in the prompt are cut so that the box always fits the screen: the
// features to kMaxFeatureLines lines of at most kMaxLineChars characters each and
// kMaxFeatureChars in all, the version and the date to one line of kMaxLineChars. Characters
// are UTF-8 sequences; every cut is marked with "…".
inline constexpr std::size_t kMaxFeatureLines = 10;
inline constexpr std::size_t kMaxFeatureChars = 600;
inline constexpr std::size_t kMaxLineChars = 120;

// `record` is the decoded reply (empty text: the request failed); `on_request` is CheckMode
// "1". nullopt: nothing is shown.
std::optional<UpdateMessage> DecideUpdate(std::string_view record, bool on_request);

}  // namespace services
