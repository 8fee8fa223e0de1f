#include "server/live/live_book.h"

#include <gtest/gtest.h>

#include <charconv>
#include <condition_variable>
#include <mutex>
#include <stdexcept>

namespace live {
namespace {

using namespace std::chrono_literals;

SourceEntry Source(std::string id, std::string name, std::chrono::seconds interval = 3s) {
  SourceEntry source;
  source.id = std::move(id);
  source.name = std::move(name);
  source.url = "https://" + source.id + ".example/q={codes}";
  source.interval = interval;
  source.batch = 10;
  return source;
}

std::int64_t Number(std::string_view text) {
  std::int64_t number = 0;
  std::from_chars(text.data(), text.data() + text.size(), number);
  return number;
}

// The tests' own reply format: "SYMBOL:last[,bid,ask[,time]]" items separated by ';'.
std::map<std::string, MarketQuote> ParseTestReply(const SourceEntry&, std::string_view body,
                                                  const std::vector<std::string>& symbols) {
  std::map<std::string, MarketQuote> quotes;
  while (!body.empty()) {
    std::string_view item = body.substr(0, body.find(';'));
    body.remove_prefix(std::min(body.size(), item.size() + 1));
    const size_t colon = item.find(':');
    const std::string symbol(item.substr(0, colon));
    if (colon == std::string_view::npos ||
        std::find(symbols.begin(), symbols.end(), symbol) == symbols.end()) {
      continue;
    }
    std::vector<std::int64_t> fields;
    for (std::string_view rest = item.substr(colon + 1); !rest.empty();) {
      const std::string_view field = rest.substr(0, rest.find(','));
      fields.push_back(Number(field));
      rest.remove_prefix(std::min(rest.size(), field.size() + 1));
    }
    MarketQuote quote;
    quote.last_cents = fields.at(0);
    if (fields.size() >= 3) {
      quote.bid_cents = fields[1];
      quote.ask_cents = fields[2];
    }
    if (fields.size() >= 4) quote.market_time = fields[3];
    quotes[symbol] = quote;
  }
  return quotes;
}

// Sources that answer what the test says, counting what they are asked.
class FakeSources {
 public:
  void Answer(const std::string& source_id, std::optional<std::string> body) {
    std::lock_guard lock(mutex_);
    answers_[source_id] = std::move(body);
  }

  std::optional<std::string> Fetch(const SourceEntry& source, const std::string& url) {
    std::lock_guard lock(mutex_);
    urls_.push_back(url);
    changed_.notify_all();
    const auto found = answers_.find(source.id);
    return found == answers_.end() ? std::nullopt : found->second;
  }

  std::vector<std::string> TakeUrls() {
    std::lock_guard lock(mutex_);
    return std::exchange(urls_, {});
  }

  bool WaitForFetches(size_t count) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, 10s, [&] { return urls_.size() >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  std::map<std::string, std::optional<std::string>> answers_;
  std::vector<std::string> urls_;
};

class LiveBookTest : public ::testing::Test {
 protected:
  static LiveConfig Config() {
    LiveConfig config;
    config.sources = {Source("a", "甲源"), Source("b", "乙源", 10s)};
    config.products = {
        {"rmb", "上海黄金交易所 Au99.99", {{"a", "AU"}, {"b", "AU"}}},
        {"au", "", {{"a", "XAU"}, {"b", "XAU"}}},
        {"ag", "", {{"a", "XAG"}}},
        {"gt", "", {}},
    };
    return config;
  }

  LiveBook MakeBook() {
    return LiveBook(
        Config(),
        [this](const SourceEntry& source, const std::string& url, const std::atomic<bool>&) {
          return sources_.Fetch(source, url);
        },
        ParseTestReply, [this] { return now_.load(); });
  }

  void Advance(std::chrono::steady_clock::duration by) { now_ = now_.load() + by; }

  FakeSources sources_;
  std::atomic<TimePoint> now_{TimePoint{} + 1000h};
};

TEST_F(LiveBookTest, PollsOnlyWithinAMinuteOfTheLastPanelRequest) {
  LiveBook book = MakeBook();
  sources_.Answer("a", "XAU:100;AU:200;XAG:300");
  EXPECT_FALSE(book.PollOnce());
  EXPECT_TRUE(sources_.TakeUrls().empty());

  book.NoteDemand();
  EXPECT_EQ(book.PollOnce(), std::chrono::steady_clock::duration(3s));
  EXPECT_EQ(sources_.TakeUrls(), std::vector<std::string>{"https://a.example/q=AU,XAG,XAU"});
  Advance(57s);
  EXPECT_EQ(book.PollOnce(), std::chrono::steady_clock::duration(3s));  // the minute's end
  EXPECT_EQ(sources_.TakeUrls().size(), 1u);
  Advance(3s);
  EXPECT_FALSE(book.PollOnce());
  EXPECT_TRUE(sources_.TakeUrls().empty());
}

TEST_F(LiveBookTest, AHundredPanelsShareOneRequestPerInterval) {
  LiveBook book = MakeBook();
  sources_.Answer("a", "XAU:100;AU:200;XAG:300");
  for (int tick = 0; tick < 30; ++tick) {  // 100 panels every 100 ms for 3 s
    for (int panel = 0; panel < 100; ++panel) {
      book.NoteDemand();
      book.PollOnce();
      EXPECT_EQ(book.QuoteListText(), "rmb,2.00,2.00\r\nau,1.00,1.00\r\nag,3.00,3.00\r\n");
    }
    Advance(100ms);
  }
  EXPECT_EQ(book.RequestsSent("a"), 1u);
  book.NoteDemand();
  book.PollOnce();
  EXPECT_EQ(book.RequestsSent("a"), 2u);
  EXPECT_EQ(book.RequestsSent("b"), 0u);
}

TEST_F(LiveBookTest, FallsBackWhileTheFirstSourceFailsAndReturnsOnceItRecovers) {
  LiveBook book = MakeBook();
  sources_.Answer("a", std::nullopt);
  sources_.Answer("b", "XAU:150;AU:250");
  book.NoteDemand();
  EXPECT_EQ(book.PollOnce(), std::chrono::steady_clock::duration::zero());  // b's turn now
  EXPECT_EQ(book.QuoteListText(), "");
  EXPECT_NE(book.DetailText("au")->find("status=waiting\r\n"), std::string::npos);
  book.PollOnce();
  EXPECT_EQ(sources_.TakeUrls(), (std::vector<std::string>{"https://a.example/q=AU,XAG,XAU",
                                                           "https://b.example/q=AU,XAU"}));
  EXPECT_EQ(book.QuoteListText(), "rmb,2.50,2.50\r\nau,1.50,1.50\r\n");
  EXPECT_NE(book.DetailText("au")->find("source=乙源\r\n"), std::string::npos);

  // a's backoff (3 s) is over before b's interval (10 s): a alone is asked, and is back.
  sources_.Answer("a", "XAU:100,99,101;AU:200;XAG:300");
  Advance(3s);
  book.NoteDemand();
  book.PollOnce();
  EXPECT_EQ(sources_.TakeUrls(), std::vector<std::string>{"https://a.example/q=AU,XAG,XAU"});
  EXPECT_EQ(book.QuoteListText(), "rmb,2.00,2.00\r\nau,0.99,1.01\r\nag,3.00,3.00\r\n");
  Advance(10s);
  book.PollOnce();
  EXPECT_EQ(sources_.TakeUrls(), std::vector<std::string>{"https://a.example/q=AU,XAG,XAU"});
}

TEST_F(LiveBookTest, ASymbolMissingFromAnAnswerFallsBackAloneAndBacksOff) {
  LiveBook book = MakeBook();
  sources_.Answer("a", "XAU:100;XAG:300");  // nothing for AU
  sources_.Answer("b", "AU:250");
  book.NoteDemand();
  book.PollOnce();
  book.PollOnce();
  EXPECT_EQ(sources_.TakeUrls(),
            (std::vector<std::string>{"https://a.example/q=AU,XAG,XAU", "https://b.example/q=AU"}));
  EXPECT_EQ(book.QuoteListText(), "rmb,2.50,2.50\r\nau,1.00,1.00\r\nag,3.00,3.00\r\n");
  // AU is asked again 3 s later, then after 6 s, 12 s, 24 s; the others every 3 s.
  std::vector<int> au_asked;
  int others_asked = 0;
  for (int second = 1; second <= 50; ++second) {
    Advance(1s);
    book.NoteDemand();
    book.PollOnce();
    for (const std::string& url : sources_.TakeUrls()) {
      if (url == "https://a.example/q=AU,XAG,XAU") au_asked.push_back(second);
      if (url.find("XAG,XAU") != std::string::npos) ++others_asked;
    }
  }
  EXPECT_EQ(au_asked, (std::vector<int>{3, 9, 21, 45}));
  EXPECT_EQ(others_asked, 16);
}

TEST_F(LiveBookTest, DetailSaysWhereTheQuoteComesFrom) {
  LiveBook book = MakeBook();
  EXPECT_FALSE(book.DetailText("xau"));
  EXPECT_FALSE(book.DetailText(""));
  EXPECT_EQ(book.DetailText("GT"), "code=gt\r\nstatus=nosource\r\n");
  EXPECT_EQ(book.DetailText("pa"), "code=pa\r\nstatus=nosource\r\n");  // not in the file
  EXPECT_EQ(book.DetailText("rmb"), "code=rmb\r\nstatus=waiting\r\n");

  sources_.Answer("a", "XAU:441260,441260,441295,1781510401;AU:93752");
  book.NoteDemand();
  book.PollOnce();
  EXPECT_EQ(book.DetailText("AU"),
            "code=au\r\nstatus=live\r\nsource=甲源\r\nsymbol=XAU\r\nshown=bidask\r\n"
            "time=1781510401\r\n");
  EXPECT_EQ(book.DetailText("rmb"),
            "code=rmb\r\nstatus=live\r\nsource=甲源\r\nsymbol=AU\r\n"
            "benchmark=上海黄金交易所 Au99.99\r\nshown=last\r\n");
  EXPECT_EQ(book.QuoteListText(), "rmb,937.52,937.52\r\nau,4412.60,4412.95\r\n");
}

TEST(LiveBookConfigTest, RefusesAChainNamingAnUnknownSource) {
  LiveConfig config;
  config.products = {{"au", "", {{"nowhere", "X"}}}};
  const auto nothing = [](const SourceEntry&, const std::string&, const std::atomic<bool>&) {
    return std::optional<std::string>();
  };
  EXPECT_THROW(LiveBook(config, nothing, ParseTestReply), std::invalid_argument);
}

TEST_F(LiveBookTest, ThePollerFetchesOnDemandAndStopsWithoutWaitingOutItsPause) {
  LiveBook book = MakeBook();
  // Every symbol answered: a missing one would send the poller on to the fallback at once.
  sources_.Answer("a", "XAU:100;AU:200;XAG:300");
  book.Start();
  book.NoteDemand();
  ASSERT_TRUE(sources_.WaitForFetches(1));
  book.Stop();  // the poller now waits 3 s (of a clock that stands still); Stop ends that
  EXPECT_EQ(sources_.TakeUrls().size(), 1u);
}

TEST(LiveBookThreadTest, StopCutsShortAFetchUnderWay) {
  std::mutex mutex;
  std::condition_variable entered;
  bool fetching = false;
  LiveBook book(
      {{Source("a", "甲源")}, {{"au", "", {{"a", "XAU"}}}}},
      [&](const SourceEntry&, const std::string&, const std::atomic<bool>& cancel) {
        {
          std::lock_guard lock(mutex);
          fetching = true;
        }
        entered.notify_all();
        while (!cancel) std::this_thread::sleep_for(1ms);
        return std::optional<std::string>();
      },
      ParseTestReply);
  book.Start();
  book.NoteDemand();
  std::unique_lock lock(mutex);
  ASSERT_TRUE(entered.wait_for(lock, 10s, [&] { return fetching; }));
  lock.unlock();
  book.Stop();
  EXPECT_EQ(book.QuoteListText(), "");
}

}  // namespace
}  // namespace live
