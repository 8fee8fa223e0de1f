// The news list comes from the server and the link on the label from that list: any bytes
// must give a headline or none, and a click may only open http(s) addresses.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "news/news_ticker.h"

namespace {

// The items as news/news_ticker.h describes them, found independently of the ticker: the text
// before each CRLF.
std::vector<std::string_view> Items(std::string_view list) {
  std::vector<std::string_view> items;
  for (std::size_t crlf = list.find("\r\n"); crlf != std::string_view::npos;
       crlf = list.find("\r\n")) {
    items.push_back(list.substr(0, crlf));
    list.remove_prefix(crlf + 2);
  }
  return items;
}

bool Showable(std::string_view item) {
  const std::size_t bar = item.find('|');
  return bar != std::string_view::npos && item.find('|', bar + 1) == std::string_view::npos;
}

bool StartsWithAsciiFolded(std::string_view text, std::string_view lower_prefix) {
  if (text.size() < lower_prefix.size()) return false;
  for (std::size_t i = 0; i < lower_prefix.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower_prefix[i]) return false;
  }
  return true;
}

void CheckHeadline(std::string_view list, int index) {
  const std::optional<news::Headline> headline = news::NextHeadline(list, index);
  const std::vector<std::string_view> items = Items(list);
  const auto count = static_cast<int>(items.size());
  // The first showable item from the index on, wrapping around.
  const int first = index >= 0 && index < count ? index : 0;
  std::optional<int> expected;
  for (int step = 0; step < count && !expected; ++step) {
    const int at = (first + step) % count;
    if (Showable(items[static_cast<std::size_t>(at)])) expected = at;
  }
  if (!expected) {
    LUMETTA_FUZZ_CHECK(!headline);
    return;
  }
  LUMETTA_FUZZ_CHECK(headline.has_value());
  LUMETTA_FUZZ_CHECK(headline->next_index == *expected + 1);
  LUMETTA_FUZZ_CHECK(headline->title.find('|') == std::string::npos);
  LUMETTA_FUZZ_CHECK(items[static_cast<std::size_t>(*expected)] ==
                     headline->title + "|" + headline->link);
}

void CheckClick(std::string_view label_text, std::string_view link) {
  const news::NewsClick click = news::DecideNewsClick(label_text, link);
  if (label_text == news::kNewsLoadingText) {
    LUMETTA_FUZZ_CHECK(click == news::NewsClick::kOpenHomePage);
  } else if (label_text == news::kNewsFailedText) {
    LUMETTA_FUZZ_CHECK(click == news::NewsClick::kReload);
  } else {
    const bool web =
        StartsWithAsciiFolded(link, "http://") || StartsWithAsciiFolded(link, "https://");
    LUMETTA_FUZZ_CHECK(click == (web ? news::NewsClick::kOpenLink : news::NewsClick::kNothing));
  }
}

}  // namespace

// Input: four bytes of NewsIndex (little-endian, so negative and huge ones too), one byte that
// chooses the label's text (loading, failure or the next field), then the fields news list,
// [label text] and link.
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  fuzz::FuzzInput input(data, size);
  std::uint32_t raw_index = 0;
  for (int shift = 0; shift < 32; shift += 8) {
    raw_index |= static_cast<std::uint32_t>(input.TakeByte()) << shift;
  }
  // Small indexes are the common case; the top bit of the first byte asks for the raw value.
  const int index = (raw_index & 0x80U) != 0 ? static_cast<int>(raw_index)
                                             : static_cast<int>(raw_index & 0x7FU) - 8;
  const std::uint8_t label = input.TakeByte();
  const std::string_view list = input.TakeField();
  std::string_view label_text;
  switch (label % 3) {
    case 0:
      label_text = news::kNewsLoadingText;
      break;
    case 1:
      label_text = news::kNewsFailedText;
      break;
    default:
      label_text = input.TakeField();
      break;
  }
  const std::string_view link = input.TakeField();

  CheckHeadline(list, index);
  CheckClick(label_text, link);
  // The label's tag is a headline's link: a click on each headline of the list too.
  if (const std::optional<news::Headline> headline = news::NextHeadline(list, index)) {
    CheckClick(headline->title, headline->link);
  }
  return 0;
}
