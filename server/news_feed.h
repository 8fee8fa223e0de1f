#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lumetta_server {

// The headlines the server offers, each linking to a page of the server itself so that a click
// works without the internet. The first, and every eighth after it, says that the server is a
// local demonstration and its quotes are simulated, not market prices.

// "title|http://HOST/News/N.html" per headline, each line ending in CR LF; UTF-8.
std::string NewsListText(std::string_view host);

// The page of headline `number` (counted from 1) with its content type, if there is one.
struct Page {
  std::string body;  // exact bytes
  std::string content_type;
};
std::optional<Page> NewsPage(int number);

// The live mode's one headline: the quotes come from these public sources (their names as the
// sources file gives them) and are for reference only. It links to page 1, which says the same
// at more length. Made-up stories would read as market news beside market prices: there are none.
std::string LiveNewsListText(std::string_view host, const std::vector<std::string>& source_names);
std::optional<Page> LiveNewsPage(int number, const std::vector<std::string>& source_names);

}  // namespace lumetta_server
