#pragma once

// The live mode's quotes: the latest one of every product, kept fresh from the public sources of
// the sources file by a poller thread while panels ask. Panel requests are answered from what
// the book holds and never wait on a source.

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "server/live/live_config.h"
#include "server/live/poll_plan.h"
#include "server/live/source_reply.h"

namespace live {

// Panels keep the book polling this long after their last request.
inline constexpr std::chrono::seconds kDemandLasts{60};

class LiveBook {
 public:
  // One GET of `url` for `source`: the body of a 200 reply within the source's limits, or
  // nothing. Ends early, with nothing, once `cancel` is set.
  using Fetch = std::function<std::optional<std::string>(
      const SourceEntry& source, const std::string& url, const std::atomic<bool>& cancel)>;
  // The quotes of a reply for the symbols asked (live::ParseReply in the server).
  using Parse = std::function<std::map<std::string, MarketQuote>(
      const SourceEntry& source, std::string_view body, const std::vector<std::string>& symbols)>;
  using Clock = std::function<TimePoint()>;

  // Refuses (std::invalid_argument) a chain that names a source the file does not have.
  LiveBook(
      LiveConfig config, Fetch fetch, Parse parse,
      Clock now = [] { return std::chrono::steady_clock::now(); });
  ~LiveBook();
  LiveBook(const LiveBook&) = delete;
  LiveBook& operator=(const LiveBook&) = delete;

  // Starts the poller thread; Stop (or the destructor) ends it, cutting short a fetch under way.
  // Without it, PollOnce does the polling, for tests that move the clock themselves.
  void Start();
  void Stop();

  // A panel asked: poll for another kDemandLasts.
  void NoteDemand();

  // Asks every source whose turn it is, records the answers, and returns how long until the next
  // turn; nothing while no panel asks (NoteDemand wakes the poller).
  std::optional<std::chrono::steady_clock::duration> PollOnce();

  // "code,buy,sell" with two decimals, each line ending in CR LF, for every product that has a
  // quote, in catalogue order. Buy is the bid and sell the ask when the source gives both;
  // otherwise both are the last price. Plain ASCII.
  std::string QuoteListText() const;

  // Changes whenever a source's answer is recorded, and only then: what the book serves is the
  // same for the same revision.
  std::uint64_t Revision() const;

  // The quote each product shows now, for the day's record.
  struct Served {
    std::string code;
    ShownPrices prices;
    MarketQuote quote;  // as the serving source gave it, market time and day figures included
  };
  std::vector<Served> ServedQuotes() const;

  // The /Soft/Quote.asp reply for a catalogue code (any letter case), UTF-8; nothing for a code
  // that is not in the catalogue.
  std::optional<std::string> DetailText(std::string_view code) const;

  const LiveConfig& config() const { return config_; }

  // Requests sent to a source so far, for tests and the log.
  std::size_t RequestsSent(std::string_view source_id) const;

 private:
  void Run();
  bool DemandActive(TimePoint now) const;
  const SourceEntry& SourceById(std::string_view id) const;

  const LiveConfig config_;
  const Fetch fetch_;
  const Parse parse_;
  const Clock now_;

  mutable std::mutex mutex_;
  std::condition_variable woken_;  // demand after a pause, or stopping
  LinkStates links_;
  std::uint64_t revision_ = 0;
  std::map<std::string, TimePoint> next_slot_;
  std::map<std::string, std::size_t, std::less<>> sent_;
  std::optional<TimePoint> last_demand_;
  bool stopping_ = false;
  std::atomic<bool> cancel_{false};
  std::thread poller_;
};

}  // namespace live
