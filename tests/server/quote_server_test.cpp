#include "server/quote_server.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <charconv>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "net/endpoints.h"
#include "net/http_request.h"
#include "net/wire_paths.h"
#include "news/news_ticker.h"
#include "quotes/catalogue.h"
#include "quotes/day_trend.h"
#include "tests/support/local_server.h"
#include "tests/support/raw_client.h"
#include "text/gbk.h"

namespace lumetta_test {
namespace {

using lumetta_server::QuoteServer;
using lumetta_server::ScriptedReply;
using lumetta_server::ServerOptions;
using lumetta_server::UpdateOffer;

// Splits at every CR LF; the text after the last one is the final piece.
std::vector<std::string> SplitLines(std::string_view text) {
  std::vector<std::string> pieces;
  for (size_t end; (end = text.find("\r\n")) != std::string_view::npos;
       text.remove_prefix(end + 2)) {
    pieces.emplace_back(text.substr(0, end));
  }
  pieces.emplace_back(text);
  return pieces;
}

// The page of headline `number`: /News/N.html.
std::string NewsPagePath(size_t number) {
  return std::string(wire::kNewsPagePrefix) + std::to_string(number) +
         std::string(wire::kNewsPageSuffix);
}

long Cents(const std::string& price) {
  const size_t point = price.find('.');
  long whole = 0;
  std::from_chars(price.data(), price.data() + point, whole);
  const long tenths = price[point + 1] - '0';
  const long hundredths = price[point + 2] - '0';
  return whole * 100 + tenths * 10 + hundredths;
}

class QuoteServerTest : public LocalServerTest {};

// The client's catalogue is what the list must serve: each of its codes once, nothing else.
TEST_F(QuoteServerTest, QuoteListHasEveryProductWithTwoDecimalsAndBuyBelowSell) {
  const std::string list = WidgetGet(endpoints::QuoteListUrl(server_.host()));
  std::vector<std::string> lines = SplitLines(list);
  EXPECT_EQ(lines.back(), "");  // every line, the last included, ends in CR LF
  lines.pop_back();
  const std::regex line_form(R"(([a-z0-9]+),([0-9]+\.[0-9]{2}),([0-9]+\.[0-9]{2}))");
  std::vector<std::string> served;
  for (const std::string& line : lines) {
    std::smatch fields;
    ASSERT_TRUE(std::regex_match(line, fields, line_form)) << line;
    served.push_back(fields[1]);
    EXPECT_LT(Cents(fields[2]), Cents(fields[3])) << line;
  }
  std::vector<std::string> known;
  known.reserve(quotes::kCatalogue.size());
  for (const quotes::Product& product : quotes::kCatalogue) known.emplace_back(product.code);
  std::ranges::sort(served);
  std::ranges::sort(known);
  EXPECT_EQ(served, known) << list;
}

TEST_F(QuoteServerTest, QuotesMoveWhenAdvancedAndRepeatForTheSameSeed) {
  QuoteServer twin(StillOptions());
  ServerOptions other_seed = StillOptions();
  other_seed.seed = 99;
  QuoteServer other(other_seed);
  ASSERT_TRUE(twin.Start());
  ASSERT_TRUE(other.Start());
  const auto list = [](const QuoteServer& server) {
    return WidgetGet(ServerUrl(server.host(), wire::kPricePath, "?Type=0&r=1"));
  };

  const std::string start = list(server_);
  EXPECT_EQ(list(server_), start);  // still until advanced
  server_.AdvanceQuotes(20);
  const std::string moved = list(server_);
  EXPECT_NE(moved, start);
  twin.AdvanceQuotes(20);
  EXPECT_EQ(list(twin), moved);
  other.AdvanceQuotes(20);
  EXPECT_NE(list(other), moved);
}

TEST(QuoteServerClockTest, QuotesMoveByThemselves) {
  ServerOptions options;
  options.quote_step = std::chrono::milliseconds(10);
  QuoteServer server(options);
  ASSERT_TRUE(server.Start());
  const std::string url = ServerUrl(server.host(), wire::kPricePath);
  const std::string first = WidgetGet(url);
  ASSERT_FALSE(first.empty());
  // Bounded wait for a change rather than a fixed sleep.
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  std::string later = first;
  while (later == first && std::chrono::steady_clock::now() < give_up) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    later = WidgetGet(url);
  }
  EXPECT_NE(later, first);
}

TEST_F(QuoteServerTest, NewsHeadlinesLinkToPagesOfTheServerItself) {
  const std::string news = WidgetGet(endpoints::NewsListUrl(server_.host()));
  std::vector<std::string> items = SplitLines(news);
  ASSERT_GE(items.size(), 9u) << news;
  EXPECT_EQ(items.back(), "");
  items.pop_back();
  for (size_t index = 0; index < items.size(); ++index) {
    const std::string& item = items[index];
    const size_t bar = item.find('|');
    ASSERT_NE(bar, std::string::npos) << item;
    EXPECT_EQ(item.find('|', bar + 1), std::string::npos) << item;
    const std::string title = item.substr(0, bar);
    const std::string link = item.substr(bar + 1);
    EXPECT_TRUE(title.size() > 6 && static_cast<unsigned char>(title[0]) >= 0x80) << title;
    EXPECT_EQ(link, ServerUrl(server_.host(), NewsPagePath(index + 1)));
    EXPECT_TRUE(endpoints::IsWebAddress(link));
    // The page behind the link answers with its headline, whatever its encoding.
    const std::string gbk_page = WidgetGet(link);
    const std::string utf8_page =
        Code::HttpRequest(link, false, "GET", "", "", "", "", false, "utf-8");
    EXPECT_TRUE(gbk_page.find(title) != std::string::npos ||
                utf8_page.find(title) != std::string::npos)
        << link;
  }
}

// The demonstration notice says both that the quotes are simulated and that they are not the
// market's.
bool SaysQuotesAreSimulated(std::string_view title) {
  return title.find("模拟") != std::string_view::npos &&
         title.find("并非市场行情") != std::string_view::npos;
}

TEST_F(QuoteServerTest, FirstHeadlineAndEveryEighthAfterItSayTheQuotesAreSimulated) {
  const std::string news = WidgetGet(endpoints::NewsListUrl(server_.host()));
  const size_t count = SplitLines(news).size() - 1;
  ASSERT_GT(count, 8u) << news;  // so that the rule reaches a second notice
  // Once through the list as the widget's ticker goes, from the top.
  int index = 0;
  for (size_t shown = 0; shown < count; ++shown) {
    const std::optional<news::Headline> headline = news::NextHeadline(news, index);
    ASSERT_TRUE(headline) << news;
    ASSERT_EQ(headline->next_index, index + 1) << "item " << index << " is not a headline";
    EXPECT_EQ(news::DecideNewsClick(headline->title, headline->link), news::NewsClick::kOpenLink);
    EXPECT_EQ(SaysQuotesAreSimulated(headline->title), shown % 8 == 0)
        << "headline " << shown << ": " << headline->title;
    index = headline->next_index;
  }
}

TEST_F(QuoteServerTest, VersionRecordNamesTheRunningVersionByDefault) {
  const std::string record = WidgetGet(endpoints::VersionUrl(server_.host()));
  const std::vector<std::string> fields = SplitLines(record);
  ASSERT_EQ(fields.size(), 5u) << record;  // so also no CR LF after the last field
  EXPECT_EQ(fields[0], "1.0");
  EXPECT_NE(fields[1], "True");
  EXPECT_TRUE(endpoints::IsWebAddress(fields[4]));
  EXPECT_FALSE(WidgetGet(fields[4]).empty());
}

TEST(QuoteServerOfferTest, AnOfferedVersionIsNewerAndOptionalOrMandatory) {
  for (const UpdateOffer offer : {UpdateOffer::kOptional, UpdateOffer::kMandatory}) {
    ServerOptions options;
    options.offer = offer;
    QuoteServer server(options);
    ASSERT_TRUE(server.Start());
    const std::vector<std::string> fields =
        SplitLines(WidgetGet(endpoints::VersionUrl(server.host())));
    ASSERT_EQ(fields.size(), 5u);
    EXPECT_NE(fields[0], "1.0");
    EXPECT_EQ(fields[1], offer == UpdateOffer::kMandatory ? "True" : "False");
    EXPECT_FALSE(fields[2].empty());
    EXPECT_FALSE(fields[3].empty());
    EXPECT_FALSE(WidgetGet(fields[4]).empty());
  }
}

TEST_F(QuoteServerTest, CounterCountsLoadsPerVisitorCookie) {
  RawClient first_visitor;
  RawClient second_visitor;
  const std::string url = endpoints::CounterUrl(server_.host());
  for (int load = 0; load < 3; ++load) EXPECT_EQ(first_visitor.Get(url).status, 200);
  EXPECT_EQ(second_visitor.Get(url).status, 200);
  std::vector<int> loads;
  for (const auto& [visitor, count] : server_.CounterLoads()) loads.push_back(count);
  std::sort(loads.begin(), loads.end());
  EXPECT_EQ(loads, (std::vector<int>{1, 3}));

  // Made-up visitors, as any page can send, push out the oldest instead of piling up.
  for (std::size_t visitor = 0; visitor < QuoteServer::kMaxVisitors; ++visitor) {
    ASSERT_EQ(RawClient().Get(url).status, 200);
  }
  EXPECT_EQ(server_.CounterLoads().size(), QuoteServer::kMaxVisitors);
  EXPECT_EQ(first_visitor.Get(url).status, 200);  // forgotten: counted anew
  EXPECT_EQ(server_.CounterLoads().size(), QuoteServer::kMaxVisitors);
  std::vector<int> after;
  for (const auto& [visitor, count] : server_.CounterLoads()) after.push_back(count);
  EXPECT_EQ(*std::max_element(after.begin(), after.end()), 1);
}

TEST_F(QuoteServerTest, HomePageAnswersAndUnknownPathsAreMissing) {
  EXPECT_NE(WidgetGet(endpoints::HomePageUrl(server_.host())).find("<html"), std::string::npos);
  RawClient client;
  EXPECT_EQ(client.Get(Url("/Soft/Nothing.asp")).status, 404);
  EXPECT_EQ(client.Get(Url(NewsPagePath(99))).status, 404);
}

TEST_F(QuoteServerTest, ScriptedRepliesSendExactBytesUntilCleared) {
  ScriptedReply reply;
  reply.status = 201;
  reply.body = std::string("\0\xFF\r\nbytes", 9);
  reply.headers = {{"X-Extra", "1"}};
  server_.Script(std::string(wire::kPricePath), reply);
  RawClient client;
  const auto scripted = client.Get(Url(wire::kPricePath, "?Type=0&r=2"));
  EXPECT_EQ(scripted.status, 201);
  EXPECT_EQ(scripted.body, reply.body);

  server_.ClearScripts();
  const auto restored = client.Get(Url(wire::kPricePath, "?Type=0&r=3"));
  EXPECT_EQ(restored.status, 200);
  EXPECT_EQ(restored.body.substr(0, 4), "rmb,");
}

TEST_F(QuoteServerTest, ADroppedReplyEndsEarly) {
  ScriptedReply reply;
  reply.body = std::string(1000, 'z');
  reply.drop_mid_body = true;
  server_.Script("/drop", reply);
  RawClient client;
  const auto dropped = client.Get(Url("/drop"));
  EXPECT_EQ(dropped.result, CURLE_PARTIAL_FILE);
  EXPECT_EQ(dropped.body, std::string(500, 'z'));
}

TEST_F(QuoteServerTest, LogKeepsHeadersInArrivalOrderWithExactNames) {
  RawClient client;
  client.Get(Url("/order?q=1"), {"Zeta: last-letter", "alpha:  spaced  ", "X-Mixed-CASE: v"});
  const auto sent = OnlyRequest();
  EXPECT_EQ(sent.method, "GET");
  EXPECT_EQ(sent.target, "/order?q=1");
  ASSERT_EQ(sent.headers.size(), 5u);
  EXPECT_EQ(sent.headers[0].first, "Host");
  EXPECT_EQ(sent.headers[1].first, "Accept");  // curl's own, before the list it was given
  EXPECT_EQ(sent.headers[2], (std::pair<std::string, std::string>{"Zeta", "last-letter"}));
  EXPECT_EQ(sent.headers[3], (std::pair<std::string, std::string>{"alpha", "spaced"}));
  EXPECT_EQ(sent.headers[4], (std::pair<std::string, std::string>{"X-Mixed-CASE", "v"}));
  EXPECT_NE(sent.head.find("\r\nalpha:  spaced  \r\n"), std::string::npos) << sent.head;
}

TEST_F(QuoteServerTest, StopCutsAScriptedDelayShort) {
  ScriptedReply reply;
  reply.delay = std::chrono::minutes(5);
  server_.Script("/slow", reply);
  Code::HttpRequest(Url("/slow"), false, "GET", "", "", "", "", true, "gb2312");
  ASSERT_TRUE(server_.WaitForRequests(1, std::chrono::seconds(5)));
  const auto start = std::chrono::steady_clock::now();
  server_.Stop();
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
}

TEST(GbkTest, EncodesChineseAndMarksWhatItCannotHold) {
  EXPECT_EQ(text::Utf8ToGbk("黄金 1.5\r\n"), "\xBB\xC6\xBD\xF0 1.5\r\n");
  EXPECT_EQ(text::Utf8ToGbk("a😀b"), "a?b");
}

// A driven product holds its buy price, sell at its spread above, while the others walk on;
// a request the book cannot follow changes nothing.
TEST_F(QuoteServerTest, ADrivenPriceHoldsUntilDrivenAgain) {
  const auto line_of = [this](const std::string& code) {
    for (const std::string& line : SplitLines(WidgetGet(endpoints::QuoteListUrl(server_.host())))) {
      if (line.starts_with(code + ",")) return line;
    }
    return std::string();
  };
  const std::string before = line_of("au");
  const long spread =
      Cents(before.substr(before.rfind(',') + 1)) - Cents(before.substr(3, before.rfind(',') - 3));
  RawClient client;
  const std::string drive = Url(wire::kDrivePath, "?code=AU&buy=");
  EXPECT_EQ(client.Get(drive + "542.3").status, 200);
  const std::string gold_before = line_of("gold");
  server_.AdvanceQuotes(50);
  const std::string driven = line_of("au");
  EXPECT_EQ(driven.substr(0, 10), "au,542.30,");
  EXPECT_EQ(Cents(driven.substr(10)), 54230 + spread);
  EXPECT_NE(line_of("gold"), gold_before);
  for (const char* refused : {"abc", "-1", "0", "1.234", "1e3", ""}) {
    SCOPED_TRACE(refused);
    EXPECT_EQ(client.Get(drive + refused).status, 400);
  }
  EXPECT_EQ(client.Get(Url(wire::kDrivePath, "?code=zz&buy=1")).status, 400);
  EXPECT_EQ(line_of("au").substr(0, 10), "au,542.30,");
  EXPECT_EQ(client.Get(drive + "541").status, 200);
  EXPECT_EQ(line_of("au").substr(0, 10), "au,541.00,");
}

// key=value lines of the details endpoint, keys in the order sent.
std::vector<std::pair<std::string, std::string>> DetailFields(const std::string& text) {
  std::vector<std::pair<std::string, std::string>> fields;
  for (const std::string& line : SplitLines(text)) {
    if (line.empty()) continue;
    const size_t equals = line.find('=');
    fields.emplace_back(line.substr(0, equals), line.substr(equals + 1));
  }
  return fields;
}

// The demonstration's details name the simulation and give the same day as its trend: the
// open and previous close of the simulated day, and the high and low of its points, which
// follow the prices served, a driven one included.
TEST_F(QuoteServerTest, DemonstrationDetailsNameTheSimulationAndGiveTheDaysFigures) {
  RawClient client;
  const auto detail = [&](std::string_view query) {
    const RawReply reply = client.Get(Url(wire::kQuoteDetailPath, query));
    EXPECT_EQ(reply.status, 200) << query;
    return DetailFields(text::GbkToUtf8(reply.body));
  };
  auto fields = detail("?code=AU");
  ASSERT_EQ(fields.size(), 9u);
  const std::vector<std::string> keys = {"code", "status",   "source", "shown", "time",
                                         "open", "previous", "high",   "low"};
  for (size_t index = 0; index < keys.size(); ++index) EXPECT_EQ(fields[index].first, keys[index]);
  EXPECT_EQ(fields[0].second, "au");
  EXPECT_EQ(fields[1].second, "live");
  EXPECT_EQ(fields[2].second, "演示行情（模拟价格）");
  EXPECT_EQ(fields[3].second, "bidask");
  EXPECT_TRUE(std::regex_match(fields[4].second, std::regex("[1-9][0-9]{9}"))) << fields[4].second;

  const auto day = quotes::ParseTrendReply(
      text::GbkToUtf8(client.Get(endpoints::TrendUrl(server_.host(), "au")).body), "au");
  ASSERT_TRUE(day && day->open && day->previous);
  EXPECT_EQ(fields[5].second, quotes::FormatExactPrice(*day->open));
  EXPECT_EQ(fields[6].second, quotes::FormatExactPrice(*day->previous));
  for (const quotes::TrendPoint& point : day->points) {
    EXPECT_GE(Cents(fields[7].second), Cents(quotes::FormatExactPrice(point.buy)));
    EXPECT_LE(Cents(fields[8].second), Cents(quotes::FormatExactPrice(point.buy)));
  }

  EXPECT_EQ(client.Get(Url(wire::kDrivePath, "?code=au&buy=9999")).status, 200);
  fields = detail("?code=au");
  EXPECT_EQ(fields[7].second, "9999.00");
  EXPECT_EQ(fields[5].second, quotes::FormatExactPrice(*day->open));  // the day's open stays
  for (const std::string_view query : {"?code=zz", "?code=", ""}) {
    EXPECT_EQ(client.Get(Url(wire::kQuoteDetailPath, query)).status, 404) << query;
  }
}

}  // namespace
}  // namespace lumetta_test
