#include "server/live/poll_plan.h"

#include <gtest/gtest.h>

#include <tuple>

namespace live {
namespace {

using std::chrono::seconds;

const TimePoint kStart = TimePoint{} + std::chrono::hours(1000);
const LinkKey kLinkA{"a", "X"};
const LinkKey kLinkB{"b", "X"};
const LinkKey kLinkC{"c", "X"};

SourceEntry Source(std::string id, seconds interval = seconds(3), std::size_t batch = 20) {
  SourceEntry source;
  source.id = std::move(id);
  source.name = source.id + " name";
  source.url = "https://" + source.id + ".example/q={codes}";
  source.interval = interval;
  source.batch = batch;
  return source;
}

ProductSources Product(std::string code, std::vector<ChainLink> chain) {
  return ProductSources{std::move(code), "", std::move(chain)};
}

MarketQuote Quote(std::int64_t last) {
  MarketQuote quote;
  quote.last_cents = last;
  return quote;
}

// au: a, then b, then c; all for the symbol X.
LiveConfig ThreeLinkConfig() {
  LiveConfig config;
  config.sources = {Source("a"), Source("b"), Source("c")};
  config.products = {Product("au", {{"a", "X"}, {"b", "X"}, {"c", "X"}})};
  return config;
}

class BackoffTest : public ::testing::TestWithParam<std::tuple<int, int, int>> {};

TEST_P(BackoffTest, DoublesFromThePaceUpToFiveMinutes) {
  const auto [interval, failures, expected] = GetParam();
  EXPECT_EQ(Backoff(Source("s", seconds(interval)), failures), seconds(expected));
}

INSTANTIATE_TEST_SUITE_P(Waits, BackoffTest,
                         ::testing::Values(std::make_tuple(3, 1, 3), std::make_tuple(3, 2, 6),
                                           std::make_tuple(3, 7, 192), std::make_tuple(3, 8, 300),
                                           std::make_tuple(3, 100000, 300),
                                           std::make_tuple(1, 1, 3),  // never below the refresh
                                           std::make_tuple(10, 1, 10), std::make_tuple(10, 5, 160),
                                           std::make_tuple(30, 5, 300)));

TEST(PollPlanTest, PaceIsTheIntervalButNeverBelowTheFastestRefresh) {
  EXPECT_EQ(Pace(Source("s", seconds(1))), seconds(3));
  EXPECT_EQ(Pace(Source("s", seconds(3))), seconds(3));
  EXPECT_EQ(Pace(Source("s", seconds(30))), seconds(30));
}

TEST(PollPlanTest, FallbacksAreWantedOnlyWhileEveryEarlierLinkFails) {
  const LiveConfig config = ThreeLinkConfig();
  const LinkKey a{"a", "X"}, b{"b", "X"}, c{"c", "X"};
  LinkStates states;
  EXPECT_EQ(WantedLinks(config, states), (std::set<LinkKey>{a}));
  states[a].failures = 1;
  EXPECT_EQ(WantedLinks(config, states), (std::set<LinkKey>{a, b}));
  states[b].failures = 2;
  EXPECT_EQ(WantedLinks(config, states), (std::set<LinkKey>{a, b, c}));
  states[a].failures = 0;  // the first recovered: the others are no longer asked
  EXPECT_EQ(WantedLinks(config, states), (std::set<LinkKey>{a}));
}

TEST(PollPlanTest, AFailedLinkBacksOffAndItsFallbackIsAskedMeanwhile) {
  const LiveConfig config = ThreeLinkConfig();
  LinkStates states;
  std::map<std::string, TimePoint> slots;
  ASSERT_EQ(PlanRequests(config, states, slots, kStart).size(), 1u);
  slots["a"] = kStart + seconds(3);
  RecordAnswer(config, config.sources[0], {"X"}, {}, kStart, states);
  EXPECT_EQ(states[kLinkA].failures, 1);
  EXPECT_EQ(states[kLinkA].retry_at, kStart + seconds(3));

  const std::vector<PlannedRequest> fallback = PlanRequests(config, states, slots, kStart);
  ASSERT_EQ(fallback.size(), 1u);
  EXPECT_EQ(fallback[0].source_id, "b");
  EXPECT_LE(NextDue(config, states, slots), kStart);  // b right away
  slots["b"] = kStart + seconds(3);
  RecordAnswer(config, config.sources[1], {"X"}, {{"X", Quote(100)}}, kStart, states);
  EXPECT_EQ(NextDue(config, states, slots), kStart + seconds(3));

  // Its backoff over, the first is asked again beside the fallback; its answer retires the
  // fallback, whose quote goes stale.
  const std::vector<PlannedRequest> both = PlanRequests(config, states, slots, kStart + seconds(3));
  ASSERT_EQ(both.size(), 2u);
  EXPECT_EQ(both[0].source_id, "a");
  EXPECT_EQ(both[1].source_id, "b");
  RecordAnswer(config, config.sources[0], {"X"}, {{"X", Quote(200)}}, kStart + seconds(3), states);
  EXPECT_EQ(states[kLinkA].failures, 0);
  EXPECT_FALSE(states[kLinkB].fresh);
  EXPECT_EQ(ServingLink(config.products[0], states), 0u);
}

TEST(PollPlanTest, RepeatedFailuresDoubleTheWait) {
  const LiveConfig config = ThreeLinkConfig();
  LinkStates states;
  TimePoint now = kStart;
  for (const int wait : {3, 6, 12, 24}) {
    RecordAnswer(config, config.sources[0], {"X"}, {}, now, states);
    EXPECT_EQ(states[kLinkA].retry_at, now + seconds(wait));
    // Not before the wait is over, even with the source's slot free.
    for (const PlannedRequest& request :
         PlanRequests(config, states, {}, now + seconds(wait) - seconds(1))) {
      EXPECT_NE(request.source_id, "a") << wait;
    }
    now += seconds(wait);
  }
  RecordAnswer(config, config.sources[0], {"X"}, {{"X", Quote(1)}}, now, states);
  EXPECT_EQ(states[kLinkA].failures, 0);
}

TEST(PollPlanTest, OneRequestPerSourceAndSlotBatchedLeastRecentlyAskedFirst) {
  LiveConfig config;
  config.sources = {Source("a", seconds(3), 2)};
  for (const char* symbol : {"P", "Q", "R", "S", "T"}) {
    config.products.push_back(Product(std::string("x") + symbol, {{"a", symbol}}));
  }
  // Two products on one link are asked for once.
  config.products.push_back(Product("y", {{"a", "P"}}));
  LinkStates states;
  std::map<std::string, TimePoint> slots;
  TimePoint now = kStart;
  std::vector<std::vector<std::string>> asked;
  for (int round = 0; round < 4; ++round) {
    const std::vector<PlannedRequest> plan = PlanRequests(config, states, slots, now);
    ASSERT_EQ(plan.size(), 1u);
    asked.push_back(plan[0].symbols);
    slots["a"] = now + seconds(3);
    EXPECT_TRUE(PlanRequests(config, states, slots, now + seconds(2)).empty());
    std::map<std::string, MarketQuote> answer;
    for (const std::string& symbol : plan[0].symbols) answer[symbol] = Quote(1);
    RecordAnswer(config, config.sources[0], plan[0].symbols, answer, now, states);
    now += seconds(3);
  }
  EXPECT_EQ(asked, (std::vector<std::vector<std::string>>{
                       {"P", "Q"}, {"R", "S"}, {"T", "P"}, {"Q", "R"}}));
}

TEST(PollPlanTest, AHealthySymbolIsNotHeldBackByAFailingOneOfTheSameSource) {
  LiveConfig config;
  config.sources = {Source("a")};
  config.products = {Product("au", {{"a", "X"}}), Product("ag", {{"a", "Y"}})};
  LinkStates states;
  RecordAnswer(config, config.sources[0], {"X", "Y"}, {{"Y", Quote(5)}}, kStart, states);
  RecordAnswer(config, config.sources[0], {"X"}, {}, kStart + seconds(3), states);  // 6 s now
  const std::vector<PlannedRequest> plan = PlanRequests(config, states, {}, kStart + seconds(6));
  ASSERT_EQ(plan.size(), 1u);
  EXPECT_EQ(plan[0].symbols, std::vector<std::string>{"Y"});
}

TEST(PollPlanTest, NothingIsDueForProductsWithoutSources) {
  LiveConfig config;
  config.sources = {Source("a")};
  config.products = {Product("gt", {})};
  EXPECT_TRUE(PlanRequests(config, {}, {}, kStart).empty());
  EXPECT_FALSE(NextDue(config, {}, {}));
}

TEST(PollPlanTest, AProductIsShownFromItsFirstFreshLinkElseTheFirstHeldQuote) {
  const LiveConfig config = ThreeLinkConfig();
  const ProductSources& au = config.products[0];
  LinkStates states;
  EXPECT_FALSE(ServingLink(au, states));
  states[kLinkC] = LinkState{.quote = Quote(3), .fresh = false};
  states[kLinkB] = LinkState{.quote = Quote(2), .fresh = false};
  EXPECT_EQ(ServingLink(au, states), 1u);  // nothing fresh: the earliest held
  states[kLinkC].fresh = true;
  EXPECT_EQ(ServingLink(au, states), 2u);
  states[kLinkA] = LinkState{.quote = Quote(1), .fresh = true};
  EXPECT_EQ(ServingLink(au, states), 0u);
  states[kLinkA].quote.reset();  // fresh without a quote is no quote
  EXPECT_EQ(ServingLink(au, states), 2u);
}

TEST(PollPlanTest, BuyAndSellAreBidAndAskOnlyWhenBothMakeSense) {
  struct Case {
    std::optional<std::int64_t> bid, ask;
    ShownPrices shown;
  };
  for (const Case& c :
       {Case{10, 12, {10, 12, true}}, Case{11, 11, {11, 11, true}},
        Case{std::nullopt, 12, {50, 50, false}}, Case{10, std::nullopt, {50, 50, false}},
        Case{0, 12, {50, 50, false}}, Case{13, 12, {50, 50, false}}}) {
    MarketQuote quote = Quote(50);
    quote.bid_cents = c.bid;
    quote.ask_cents = c.ask;
    const ShownPrices shown = Shown(quote);
    EXPECT_EQ(shown.buy_cents, c.shown.buy_cents);
    EXPECT_EQ(shown.sell_cents, c.shown.sell_cents);
    EXPECT_EQ(shown.bid_ask, c.shown.bid_ask);
  }
}

TEST(PollPlanTest, RequestUrlFillsTheTemplate) {
  SourceEntry source = Source("s");
  source.url = "https://s.example/list={codes}";
  EXPECT_EQ(RequestUrl(source, {"hf_XAU", "gds_AU9999"}),
            "https://s.example/list=hf_XAU,gds_AU9999");
  source.url = "https://s.example/get?secid={code}&fltt=2";
  EXPECT_EQ(RequestUrl(source, {"118.AU9999"}), "https://s.example/get?secid=118.AU9999&fltt=2");
  // A symbol cannot add a parameter of its own.
  EXPECT_EQ(RequestUrl(source, {"X&y=1 #"}), "https://s.example/get?secid=X%26y%3D1%20%23&fltt=2");
}

}  // namespace
}  // namespace live
