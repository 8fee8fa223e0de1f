#include "news/news_ticker.h"

#include <cstddef>
#include <vector>

#include "text/ascii_case.h"
#include "text/split.h"

namespace news {
namespace {

constexpr std::string_view kCrLf = "\r\n";

// Items 0..U-1: the text before each CRLF. The text after the last CRLF is never an item.
std::vector<std::string_view> Items(std::string_view news_list) {
  std::vector<std::string_view> items = text::SplitAll(news_list, kCrLf);
  items.pop_back();
  return items;
}

}  // namespace

std::optional<Headline> NextHeadline(std::string_view news_list, int news_index) {
  const std::vector<std::string_view> items = Items(news_list);
  const auto count = static_cast<int>(items.size());
  if (count == 0) return std::nullopt;
  const int first = news_index >= 0 && news_index < count ? news_index : 0;
  for (int step = 0; step < count; ++step) {
    const int index = (first + step) % count;
    const std::string_view item = items[static_cast<std::size_t>(index)];
    const std::size_t bar = item.find('|');
    if (bar == std::string_view::npos || item.find('|', bar + 1) != std::string_view::npos) {
      continue;
    }
    return Headline{std::string(item.substr(0, bar)), std::string(item.substr(bar + 1)), index + 1};
  }
  return std::nullopt;
}

NewsClick DecideNewsClick(std::string_view label_text, std::string_view link) {
  if (label_text == kNewsLoadingText) return NewsClick::kOpenHomePage;
  if (label_text == kNewsFailedText) return NewsClick::kReload;
  if (text::StartsWithIgnoreAsciiCase(link, "http://") ||
      text::StartsWithIgnoreAsciiCase(link, "https://")) {
    return NewsClick::kOpenLink;
  }
  return NewsClick::kNothing;
}

}  // namespace news
