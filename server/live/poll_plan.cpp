#include "server/live/poll_plan.h"

#include <algorithm>
#include <string_view>

namespace live {
namespace {

bool Failing(const LinkStates& states, const LinkKey& key) {
  const auto found = states.find(key);
  return found != states.end() && found->second.failures > 0;
}

// A failing link waits out its backoff; any other may go in the source's next request.
TimePoint ReadyAt(const LinkStates& states, const LinkKey& key) {
  const auto found = states.find(key);
  if (found == states.end() || found->second.failures == 0) return TimePoint{};
  return found->second.retry_at;
}

// Symbols are the file's own; anything beyond the unreserved characters is escaped all the same,
// so a symbol cannot add to the address.
std::string Escaped(std::string_view symbol) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string text;
  for (const char c : symbol) {
    const auto byte = static_cast<unsigned char>(c);
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      text += c;
    } else {
      text += '%';
      text += kHex[byte >> 4];
      text += kHex[byte & 0xF];
    }
  }
  return text;
}

void ReplaceAll(std::string& text, std::string_view from, std::string_view to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size())) {
    text.replace(at, from.size(), to);
  }
}

}  // namespace

std::chrono::seconds Pace(const SourceEntry& source) {
  return std::max(source.interval, std::chrono::seconds(kFastestRefresh));
}

std::chrono::seconds Backoff(const SourceEntry& source, int failures) {
  std::chrono::seconds wait = Pace(source);
  for (int doubled = 1; doubled < failures && wait < kLongestBackoff; ++doubled) wait *= 2;
  return std::min(wait, std::chrono::seconds(kLongestBackoff));
}

std::set<LinkKey> WantedLinks(const LiveConfig& config, const LinkStates& states) {
  std::set<LinkKey> wanted;
  for (const ProductSources& product : config.products) {
    for (const ChainLink& link : product.chain) {
      LinkKey key{link.source_id, link.symbol};
      const bool failing = Failing(states, key);
      wanted.insert(std::move(key));
      if (!failing) break;
    }
  }
  return wanted;
}

std::vector<PlannedRequest> PlanRequests(const LiveConfig& config, const LinkStates& states,
                                         const std::map<std::string, TimePoint>& next_slot,
                                         TimePoint now) {
  const std::set<LinkKey> wanted = WantedLinks(config, states);
  std::vector<PlannedRequest> requests;
  for (const SourceEntry& source : config.sources) {
    if (const auto slot = next_slot.find(source.id);
        slot != next_slot.end() && slot->second > now) {
      continue;
    }
    std::vector<const LinkKey*> due;
    for (const LinkKey& key : wanted) {
      if (key.source_id == source.id && ReadyAt(states, key) <= now) due.push_back(&key);
    }
    if (due.empty()) continue;
    const auto asked_at = [&](const LinkKey* key) {
      const auto found = states.find(*key);
      return found == states.end() || !found->second.asked ? TimePoint{} : found->second.last_asked;
    };
    std::stable_sort(due.begin(), due.end(),
                     [&](const LinkKey* a, const LinkKey* b) { return asked_at(a) < asked_at(b); });
    PlannedRequest request{source.id, {}};
    for (size_t index = 0; index < due.size() && index < std::max<size_t>(source.batch, 1);
         ++index) {
      request.symbols.push_back(due[index]->symbol);
    }
    requests.push_back(std::move(request));
  }
  return requests;
}

std::optional<TimePoint> NextDue(const LiveConfig& config, const LinkStates& states,
                                 const std::map<std::string, TimePoint>& next_slot) {
  std::optional<TimePoint> due;
  for (const LinkKey& key : WantedLinks(config, states)) {
    TimePoint ready = ReadyAt(states, key);
    if (const auto slot = next_slot.find(key.source_id); slot != next_slot.end()) {
      ready = std::max(ready, slot->second);
    }
    if (!due || ready < *due) due = ready;
  }
  return due;
}

std::optional<size_t> ServingLink(const ProductSources& product, const LinkStates& states) {
  std::optional<size_t> held;
  for (size_t index = 0; index < product.chain.size(); ++index) {
    const ChainLink& link = product.chain[index];
    const auto found = states.find(LinkKey{link.source_id, link.symbol});
    if (found == states.end() || !found->second.quote) continue;
    if (found->second.fresh) return index;
    if (!held) held = index;
  }
  return held;
}

ShownPrices Shown(const MarketQuote& quote) {
  if (quote.bid_cents && quote.ask_cents && *quote.bid_cents > 0 &&
      *quote.bid_cents <= *quote.ask_cents) {
    return {*quote.bid_cents, *quote.ask_cents, true};
  }
  return {quote.last_cents, quote.last_cents, false};
}

std::string RequestUrl(const SourceEntry& source, const std::vector<std::string>& symbols) {
  std::string codes;
  for (const std::string& symbol : symbols) {
    if (!codes.empty()) codes += ',';
    codes += Escaped(symbol);
  }
  std::string url = source.url;
  ReplaceAll(url, "{codes}", codes);
  ReplaceAll(url, "{code}", symbols.empty() ? std::string() : Escaped(symbols.front()));
  return url;
}

void RecordAnswer(const LiveConfig& config, const SourceEntry& source,
                  const std::vector<std::string>& symbols,
                  const std::map<std::string, MarketQuote>& parsed, TimePoint now,
                  LinkStates& states) {
  for (const std::string& symbol : symbols) {
    LinkState& state = states[LinkKey{source.id, symbol}];
    state.asked = true;
    state.last_asked = now;
    if (const auto found = parsed.find(symbol); found != parsed.end()) {
      state.failures = 0;
      state.retry_at = now;
      state.quote = found->second;
      state.fresh = true;
    } else {
      ++state.failures;
      state.retry_at = now + Backoff(source, state.failures);
      state.fresh = false;
    }
  }
  const std::set<LinkKey> wanted = WantedLinks(config, states);
  for (auto& [key, state] : states) {
    if (!wanted.contains(key)) state.fresh = false;
  }
}

}  // namespace live
