#include "server/live/live_book.h"

#include <algorithm>
#include <stdexcept>

#include "quotes/catalogue.h"
#include "server/live/quote_detail.h"
#include "text/ascii_case.h"

namespace live {
namespace {

const ProductSources* FindProductSources(const LiveConfig& config, std::string_view code) {
  for (const ProductSources& product : config.products) {
    if (product.code == code) return &product;
  }
  return nullptr;
}

}  // namespace

LiveBook::LiveBook(LiveConfig config, Fetch fetch, Parse parse, Clock now)
    : config_(std::move(config)),
      fetch_(std::move(fetch)),
      parse_(std::move(parse)),
      now_(std::move(now)) {
  for (const ProductSources& product : config_.products) {
    for (const ChainLink& link : product.chain) {
      const bool known = std::any_of(config_.sources.begin(), config_.sources.end(),
                                     [&](const SourceEntry& s) { return s.id == link.source_id; });
      if (!known) {
        throw std::invalid_argument("product " + product.code + " names an unknown source " +
                                    link.source_id);
      }
    }
  }
}

LiveBook::~LiveBook() { Stop(); }

void LiveBook::Start() {
  if (poller_.joinable()) return;
  poller_ = std::thread([this] { Run(); });
}

void LiveBook::Stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  cancel_ = true;
  woken_.notify_all();
  if (poller_.joinable()) poller_.join();
}

void LiveBook::NoteDemand() {
  bool was_idle = false;
  {
    std::lock_guard lock(mutex_);
    const TimePoint now = now_();
    was_idle = !DemandActive(now);
    last_demand_ = now;
  }
  // A poller already polling needs no word from each of a hundred panels.
  if (was_idle) woken_.notify_all();
}

bool LiveBook::DemandActive(TimePoint now) const {
  return last_demand_ && now - *last_demand_ < kDemandLasts;
}

const SourceEntry& LiveBook::SourceById(std::string_view id) const {
  for (const SourceEntry& source : config_.sources) {
    if (source.id == id) return source;
  }
  throw std::logic_error("no source " + std::string(id));  // the constructor checked every chain
}

std::optional<std::chrono::steady_clock::duration> LiveBook::PollOnce() {
  std::vector<PlannedRequest> requests;
  {
    std::lock_guard lock(mutex_);
    const TimePoint now = now_();
    if (!DemandActive(now)) return std::nullopt;
    requests = PlanRequests(config_, links_, next_slot_, now);
    for (const PlannedRequest& request : requests) {
      next_slot_[request.source_id] = now + Pace(SourceById(request.source_id));
      ++sent_[request.source_id];
    }
  }
  // Sources are asked without the lock: panels are answered meanwhile from what is held.
  for (const PlannedRequest& request : requests) {
    const SourceEntry& source = SourceById(request.source_id);
    const std::optional<std::string> body =
        fetch_(source, RequestUrl(source, request.symbols), cancel_);
    std::map<std::string, MarketQuote> parsed;
    if (body) parsed = parse_(source, *body, request.symbols);
    std::lock_guard lock(mutex_);
    RecordAnswer(config_, source, request.symbols, parsed, now_(), links_);
    ++revision_;
  }
  std::lock_guard lock(mutex_);
  const TimePoint now = now_();
  if (!DemandActive(now)) return std::nullopt;
  TimePoint next = *last_demand_ + kDemandLasts;
  if (const std::optional<TimePoint> due = NextDue(config_, links_, next_slot_)) {
    next = std::min(next, *due);
  }
  return std::max(next - now, std::chrono::steady_clock::duration::zero());
}

void LiveBook::Run() {
  while (true) {
    const std::optional<std::chrono::steady_clock::duration> wait = PollOnce();
    std::unique_lock lock(mutex_);
    if (stopping_) return;
    if (wait) {
      woken_.wait_for(lock, *wait, [this] { return stopping_; });
    } else {
      woken_.wait(lock, [this] { return stopping_ || DemandActive(now_()); });
    }
    if (stopping_) return;
  }
}

std::uint64_t LiveBook::Revision() const {
  std::lock_guard lock(mutex_);
  return revision_;
}

std::vector<LiveBook::Served> LiveBook::ServedQuotes() const {
  std::lock_guard lock(mutex_);
  std::vector<Served> served;
  for (const quotes::Product& entry : quotes::kCatalogue) {
    const ProductSources* product = FindProductSources(config_, entry.code);
    if (product == nullptr) continue;
    const std::optional<size_t> serving = ServingLink(*product, links_);
    if (!serving) continue;
    const ChainLink& link = product->chain[*serving];
    const MarketQuote& quote = *links_.at(LinkKey{link.source_id, link.symbol}).quote;
    served.push_back({std::string(entry.code), Shown(quote), quote});
  }
  return served;
}

std::string LiveBook::QuoteListText() const {
  std::string text;
  for (const Served& served : ServedQuotes()) {
    text += served.code;
    text += ',';
    text += CentsText(served.prices.buy_cents);
    text += ',';
    text += CentsText(served.prices.sell_cents);
    text += "\r\n";
  }
  return text;
}

std::optional<std::string> LiveBook::DetailText(std::string_view code) const {
  const std::string lower = text::AsciiLower(code);
  if (quotes::FindProduct(lower) == nullptr) return std::nullopt;
  QuoteDetail detail;
  detail.code = lower;
  const ProductSources* product = FindProductSources(config_, lower);
  if (product == nullptr || product->chain.empty()) {
    detail.status = "nosource";
    return live::DetailText(detail);
  }
  std::lock_guard lock(mutex_);
  const std::optional<size_t> serving = ServingLink(*product, links_);
  if (!serving) {
    detail.status = "waiting";
    return live::DetailText(detail);
  }
  const ChainLink& link = product->chain[*serving];
  const MarketQuote& quote = *links_.at(LinkKey{link.source_id, link.symbol}).quote;
  detail.status = "live";
  detail.source = SourceById(link.source_id).name;
  detail.symbol = link.symbol;
  detail.benchmark = product->benchmark;
  detail.shown = Shown(quote).bid_ask ? "bidask" : "last";
  detail.time = quote.market_time;
  detail.open_cents = quote.open_cents;
  detail.previous_cents = quote.previous_cents;
  detail.high_cents = quote.high_cents;
  detail.low_cents = quote.low_cents;
  return live::DetailText(detail);
}

std::size_t LiveBook::RequestsSent(std::string_view source_id) const {
  std::lock_guard lock(mutex_);
  const auto found = sent_.find(source_id);
  return found == sent_.end() ? 0 : found->second;
}

}  // namespace live
