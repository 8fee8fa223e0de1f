#include "news/news_ticker.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <string>
#include <string_view>
#include <vector>

namespace news {
namespace {

// Runs `ticks` NewsTimer ticks from index 0 the way the widget does: show, then store the
// new index. Returns the titles shown ("-" for a tick that changed nothing).
std::vector<std::string> Rotate(std::string_view list, int ticks) {
  std::vector<std::string> shown;
  int index = 0;
  for (int i = 0; i < ticks; ++i) {
    const std::optional<Headline> headline = NextHeadline(list, index);
    if (!headline) {
      shown.emplace_back("-");
      continue;
    }
    shown.push_back(headline->title);
    index = headline->next_index;
  }
  return shown;
}

using Titles = std::vector<std::string>;

TEST(NextHeadlineTest, WellFormedListsRotateThroughTheirItems) {
  const std::string list = "金价上涨|http://example.test/a\r\n白银回落|http://example.test/b\r\n";
  auto first = NextHeadline(list, 0);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(first->title, "金价上涨");
  EXPECT_EQ(first->link, "http://example.test/a");
  EXPECT_EQ(first->next_index, 1);
  auto second = NextHeadline(list, first->next_index);
  ASSERT_TRUE(second.has_value());
  EXPECT_EQ(second->link, "http://example.test/b");
  EXPECT_EQ(second->next_index, 2);
  EXPECT_EQ(Rotate(list, 5), (Titles{"金价上涨", "白银回落", "金价上涨", "白银回落", "金价上涨"}));

  // One item is shown again at every tick.
  EXPECT_EQ(Rotate("a|x\r\n", 3), (Titles{"a", "a", "a"}));
  // An index past the end (or negative, or from a longer old list) starts again at 0.
  EXPECT_EQ(NextHeadline(list, 7)->title, "金价上涨");
  EXPECT_EQ(NextHeadline(list, -1)->title, "金价上涨");
  EXPECT_EQ(NextHeadline(list, 1)->title, "白银回落");
}

TEST(NextHeadlineTest, TextAfterTheLastCrLfIsNeverShown) {
  EXPECT_EQ(Rotate("a|x\r\nb|y", 4), (Titles{"a", "a", "a", "a"}));
  EXPECT_EQ(NextHeadline("a|x\r\nb|y", 1)->title, "a");
  // A single item without any CRLF never gives a headline; neither does an empty list.
  EXPECT_FALSE(NextHeadline("a|x", 0).has_value());
  EXPECT_FALSE(NextHeadline("", 0).has_value());
  EXPECT_FALSE(NextHeadline("a|x\n", 0).has_value());
}

TEST(NextHeadlineTest, FieldsAreTakenAsTheyStand) {
  auto empty_title = NextHeadline("|http://example.test/x\r\n", 0);
  ASSERT_TRUE(empty_title.has_value());
  EXPECT_EQ(empty_title->title, "");
  EXPECT_EQ(empty_title->link, "http://example.test/x");

  auto untrimmed = NextHeadline(" t \r| l\n \r\n", 0);
  ASSERT_TRUE(untrimmed.has_value());
  EXPECT_EQ(untrimmed->title, " t \r");
  EXPECT_EQ(untrimmed->link, " l\n ");

  auto empty_link = NextHeadline("t|\r\n", 0);
  ASSERT_TRUE(empty_link.has_value());
  EXPECT_EQ(empty_link->link, "");
}

TEST(NextHeadlineTest, BadItemsAreSteppedPastAndAllBadShowsNothing) {
  const std::string list = "t0|a\r\nno bar\r\nx|y|z\r\n\r\nt4|e\r\n";
  auto headline = NextHeadline(list, 1);
  ASSERT_TRUE(headline.has_value());
  EXPECT_EQ(headline->title, "t4");
  EXPECT_EQ(headline->next_index, 5);
  EXPECT_EQ(Rotate(list, 4), (Titles{"t0", "t4", "t0", "t4"}));

  // Stepping past wraps around to the front.
  headline = NextHeadline("t0|a\r\nt1|b\r\nbad\r\n", 2);
  ASSERT_TRUE(headline.has_value());
  EXPECT_EQ(headline->title, "t0");
  EXPECT_EQ(headline->next_index, 1);

  for (const char* all_bad : {"bad\r\n", "x|y|z\r\n\r\nnone\r\n", "\r\n\r\n", "||\r\nok|ok"}) {
    SCOPED_TRACE(testing::PrintToString(std::string(all_bad)));
    for (int index : {0, 1, 2, 9}) EXPECT_FALSE(NextHeadline(all_bad, index).has_value());
  }
}

TEST(NextHeadlinePropertyTest, RandomListsOnlyEverShowWholeSingleBarItems) {
  static constexpr std::array<std::string_view, 9> kPieces = {
      "a", "|", "||", "\r\n", "\r", "\n", "新闻", "http://h/", ""};
  std::mt19937 rng(99);
  std::uniform_int_distribution<int> count(0, 12);
  std::uniform_int_distribution<int> piece(0, kPieces.size() - 1);
  std::uniform_int_distribution<int> index(-3, 8);
  int shown = 0;
  for (int i = 0; i < 5000; ++i) {
    std::string list;
    for (int n = count(rng); n > 0; --n) list += kPieces[piece(rng)];
    const int start = index(rng);
    SCOPED_TRACE(testing::PrintToString(list) + " at " + std::to_string(start));
    const std::optional<Headline> headline = NextHeadline(list, start);
    if (!headline) continue;
    ++shown;
    EXPECT_EQ(headline->title.find('|'), std::string::npos);
    EXPECT_EQ(headline->link.find('|'), std::string::npos);
    // The item shown is whole: it sits between line starts and a CRLF.
    const std::string item = headline->title + "|" + headline->link + "\r\n";
    const std::size_t at = ("\r\n" + list).find("\r\n" + item);
    EXPECT_NE(at, std::string::npos);
    // next_index counts the items up to and including the one shown.
    int items_before = 0;
    std::string_view rest = list;
    for (int k = 1; k < headline->next_index; ++k) {
      const std::size_t end = rest.find("\r\n");
      ASSERT_NE(end, std::string_view::npos);
      rest.remove_prefix(end + 2);
      ++items_before;
    }
    EXPECT_TRUE(rest.starts_with(item)) << "item " << items_before;
  }
  EXPECT_GT(shown, 250);
}

TEST(DecideNewsClickTest, StatusTextsFirstThenOnlyWebLinks) {
  EXPECT_EQ(kNewsLoadingText, "正在加载资讯...");
  EXPECT_EQ(kNewsFailedText, "资讯加载失败.点击这里重新加载!");
  // The status texts decide whatever the tag holds.
  EXPECT_EQ(DecideNewsClick(kNewsLoadingText, ""), NewsClick::kOpenHomePage);
  EXPECT_EQ(DecideNewsClick(kNewsLoadingText, "http://example.test/old"), NewsClick::kOpenHomePage);
  EXPECT_EQ(DecideNewsClick(kNewsFailedText, "http://example.test/old"), NewsClick::kReload);
  // A headline, also an empty one, opens its web link.
  EXPECT_EQ(DecideNewsClick("金价上涨", "http://example.test/a"), NewsClick::kOpenLink);
  EXPECT_EQ(DecideNewsClick("", "https://example.test/a"), NewsClick::kOpenLink);
  EXPECT_EQ(DecideNewsClick("t", "HTTP://example.test/a"), NewsClick::kOpenLink);
  // No link, or one that is not a web address, does nothing.
  for (const char* link : {"", "file:///etc/passwd", "javascript:alert(1)", "http:/x", " http://x",
                           "ftp://example.test/", "www.example.test"}) {
    SCOPED_TRACE(link);
    EXPECT_EQ(DecideNewsClick("金价上涨", link), NewsClick::kNothing);
  }
  // Near misses of the status texts are headlines.
  EXPECT_EQ(DecideNewsClick("正在加载资讯..", "http://x/"), NewsClick::kOpenLink);
}

}  // namespace
}  // namespace news
