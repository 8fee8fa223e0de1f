#pragma once

// The live book's decisions, as plain functions of its state: which symbols to ask which source
// for and when, how long a failing link waits, and which link a product is shown from. The book
// itself only holds the state, fetches and records.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "server/live/live_config.h"
#include "server/live/source_reply.h"

namespace live {

using TimePoint = std::chrono::steady_clock::time_point;

// The panel's fastest refresh: no source is asked more often than this, whatever its interval.
inline constexpr std::chrono::seconds kFastestRefresh{3};
// A failing link waits at most this long before it is asked again.
inline constexpr std::chrono::seconds kLongestBackoff{300};

// One link of a chain: a source and its symbol. Products that share a link share its quote.
struct LinkKey {
  std::string source_id;
  std::string symbol;
  // Spelled out: clang-tidy 14 misreads a defaulted <=> as comparing with a literal 0.
  friend bool operator<(const LinkKey& left, const LinkKey& right) {
    return std::tie(left.source_id, left.symbol) < std::tie(right.source_id, right.symbol);
  }
  friend bool operator==(const LinkKey&, const LinkKey&) = default;
};

struct LinkState {
  // Requests in a row whose answer lacked the symbol (no reply, refused, or nothing parsed).
  int failures = 0;
  TimePoint retry_at{};    // a failing link is not asked before this
  TimePoint last_asked{};  // the oldest asked goes first when a source has more than one batch
  bool asked = false;
  std::optional<MarketQuote> quote;  // the latest one parsed; kept while the link fails
  // The last answer held the symbol and the link is still in use; a link that stops being
  // asked goes stale, as its quote no longer follows the market.
  bool fresh = false;
};

using LinkStates = std::map<LinkKey, LinkState>;

// The wait between two requests to `source`.
std::chrono::seconds Pace(const SourceEntry& source);

// How long a link waits after `failures` failures in a row (at least 1): the source's pace,
// doubling with each failure, at most kLongestBackoff.
std::chrono::seconds Backoff(const SourceEntry& source, int failures);

// The links to keep fresh: each product's chain up to and including its first link that is not
// failing. A fallback is asked only while every link before it fails.
std::set<LinkKey> WantedLinks(const LiveConfig& config, const LinkStates& states);

struct PlannedRequest {
  std::string source_id;
  std::vector<std::string> symbols;  // at most the source's batch, in the order asked
};

// The requests due at `now`: one per source whose next slot (`next_slot`; absent: never asked)
// has come, for its wanted symbols that are not waiting out a backoff, the least recently asked
// first, at most `batch` of them.
std::vector<PlannedRequest> PlanRequests(const LiveConfig& config, const LinkStates& states,
                                         const std::map<std::string, TimePoint>& next_slot,
                                         TimePoint now);

// When PlanRequests will next have something to ask, if ever (nothing wanted: never).
std::optional<TimePoint> NextDue(const LiveConfig& config, const LinkStates& states,
                                 const std::map<std::string, TimePoint>& next_slot);

// The index in the product's chain of the link it is shown from: the first fresh one; failing
// that, the first that still holds a quote; nothing when no link has one.
std::optional<std::size_t> ServingLink(const ProductSources& product, const LinkStates& states);

// What the panel is shown of a quote: buy = bid and sell = ask when the source gives both (a
// positive bid not above the ask); otherwise both are the last price.
struct ShownPrices {
  std::int64_t buy_cents = 0;
  std::int64_t sell_cents = 0;
  bool bid_ask = false;
};
ShownPrices Shown(const MarketQuote& quote);

// The source's address for these symbols: "{codes}" becomes them joined with ",", "{code}" the
// first one.
std::string RequestUrl(const SourceEntry& source, const std::vector<std::string>& symbols);

// Records one request's outcome at `now`: the symbols found in `parsed` are fresh again, the
// others fail once more and back off. A link no longer wanted afterwards goes stale.
void RecordAnswer(const LiveConfig& config, const SourceEntry& source,
                  const std::vector<std::string>& symbols,
                  const std::map<std::string, MarketQuote>& parsed, TimePoint now,
                  LinkStates& states);

}  // namespace live
