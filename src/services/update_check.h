#pragma once

// The update check's decision: from the server's version record and the mode of the check to
// the message the user sees, if any.

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

// `record` is the decoded reply (empty text: the request failed); `on_request` is CheckMode
// "1". nullopt: nothing is shown.
std::optional<UpdateMessage> DecideUpdate(std::string_view record, bool on_request);

}  // namespace services
