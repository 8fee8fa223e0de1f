#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace news {

// Status texts of the News label.
inline constexpr std::string_view kNewsLoadingText = "正在加载资讯...";
inline constexpr std::string_view kNewsFailedText = "资讯加载失败.点击这里重新加载!";

// One headline to put on the News label: its text, its tag, and the new NewsIndex.
struct Headline {
  std::string title;
  std::string link;
  int next_index;
};

// What one NewsTimer tick shows once the list is loaded. The list is split at every CRLF
// into pieces 0..U (U = number of CRLFs); only pieces 0..U-1 are items, and an index
// outside 0..U-1 starts again at 0. An item needs exactly one "|" (title|link, untrimmed);
// any other item is stepped past, wrapping around, so one bad line cannot freeze the
// ticker. nullopt: no CRLF, or no showable item at all; the label stays as it is.
std::optional<Headline> NextHeadline(std::string_view news_list, int news_index);

// What a click on the News label does.
enum class NewsClick {
  kOpenHomePage,  // the label still reads the loading text
  kReload,        // the label reads the failure text: show the loading text, load again
  kOpenLink,      // a headline with a web link in the tag
  kNothing,       // a headline without a link, or with a link that is not http(s)
};

// `link` is the label's tag. Links come from the server, so only http:// and https://
// addresses are opened.
NewsClick DecideNewsClick(std::string_view label_text, std::string_view link);

}  // namespace news
