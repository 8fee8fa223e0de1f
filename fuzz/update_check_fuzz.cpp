// The version record comes from the server: any bytes must give a message or none, in both
// modes of the check, and only a complete record may offer a download.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "services/update_check.h"

namespace {

std::vector<std::string_view> Fields(std::string_view record) {
  std::vector<std::string_view> fields;
  for (std::size_t crlf = record.find("\r\n"); crlf != std::string_view::npos;
       crlf = record.find("\r\n")) {
    fields.push_back(record.substr(0, crlf));
    record.remove_prefix(crlf + 2);
  }
  fields.push_back(record);
  return fields;
}

bool IsHttpAddress(std::string_view address) {
  for (const std::string_view scheme : {"http://", "https://"}) {
    if (address.size() < scheme.size()) continue;
    bool same = true;
    for (std::size_t i = 0; i < scheme.size() && same; ++i) {
      char c = address[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      same = c == scheme[i];
    }
    if (same) return true;
  }
  return false;
}

}  // namespace

// Input: one byte whose lowest bit is the mode (1: the user asked), then the record, 0 bytes
// and all. Both modes are decided; the byte chooses which one is checked first.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  const bool on_request_first = (input.TakeByte() & 1U) != 0;
  const std::string_view record = input.TakeRest();

  const std::optional<services::UpdateMessage> first =
      services::DecideUpdate(record, on_request_first);
  const std::optional<services::UpdateMessage> second =
      services::DecideUpdate(record, !on_request_first);
  const std::optional<services::UpdateMessage>& asked = on_request_first ? first : second;
  const std::optional<services::UpdateMessage>& start_up = on_request_first ? second : first;

  // The user who asked always hears back.
  LUMETTA_FUZZ_CHECK(asked.has_value());
  LUMETTA_FUZZ_CHECK(!asked->text.empty() && !asked->title.empty());
  // At start-up only a download offer is shown, and it is the same offer as on request.
  if (start_up) {
    LUMETTA_FUZZ_CHECK(start_up->download_address.has_value());
    LUMETTA_FUZZ_CHECK(start_up->text == asked->text && start_up->title == asked->title &&
                       start_up->with_cancel == asked->with_cancel &&
                       start_up->download_address == asked->download_address);
  }

  const std::vector<std::string_view> fields = Fields(record);
  if (asked->download_address) {
    LUMETTA_FUZZ_CHECK(fields.size() == 5);
    LUMETTA_FUZZ_CHECK(fields[0] != services::kRunningVersion);
    LUMETTA_FUZZ_CHECK(*asked->download_address == fields[4]);
    // Accepting hands the address to the browser: a web page and nothing else.
    LUMETTA_FUZZ_CHECK(IsHttpAddress(*asked->download_address));
    LUMETTA_FUZZ_CHECK(start_up.has_value());
  } else {
    LUMETTA_FUZZ_CHECK(!start_up);
    LUMETTA_FUZZ_CHECK(!asked->with_cancel);
  }
  return 0;
}
