#pragma once

// The selected product's detail from the quote server (/Soft/Quote.asp): asked for when a
// product is selected and then at most once a minute while the panel fetches prices, always
// in the background. It owns the tip's source part and tells the quote feed the
// market time and whether the server has a source at all. A server without the endpoint (404)
// is not asked again until the next product switch, and the panel is then as it was before.

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "quotes/day_trend.h"
#include "shell/fetcher.h"
#include "shell/startup_budget.h"
#include "shell/tray_tip_parts.h"

namespace shell {

// How often the detail of the same product is asked for again.
inline constexpr std::chrono::seconds kDetailInterval{60};

class QuoteDetails {
 public:
  // Hears each detail read for the selected product: its market time, and the tip's line for
  // a product the server has no source for (empty when it has one).
  using Told =
      std::function<void(std::optional<std::int64_t> market_time, std::string no_source_line)>;

  QuoteDetails(std::string server_host, StartupBudget::Clock now, TrayTipParts& tip, Told told);

  // A product was selected (start-up included): its source is unknown until its detail
  // comes, which is asked for at once. `code` is the lower-case catalogue code; any other
  // text is never asked about.
  void Select(const std::string& code);
  // A refresh tick of the prices: asks again once kDetailInterval has passed since the last
  // request.
  void Tick();
  // An applied quote (its buy price as received): the tip's change since the open follows it.
  void OnQuote(const std::string& code, const std::string& buy);
  // Requests wait until the panel has first been drawn: what only the tip shows must not
  // cost the start anything. Then the one waiting goes out.
  void Release();
  bool Busy() const { return fetcher_.Busy() || ask_when_released_; }

 private:
  void Ask();
  void ShowSinceOpen();
  void Apply(const std::string& asked_code, const Code::HttpReply& reply);

  std::string server_host_;
  StartupBudget::Clock now_;
  TrayTipParts& tip_;
  Told told_;
  Fetcher fetcher_;
  // The selected product's code, empty while it is none of the catalogue's.
  std::string code_;
  // When its detail was last asked for; unset until a request went out.
  std::optional<std::chrono::steady_clock::time_point> asked_at_;
  // The server answered 404: no more requests until the next product switch.
  bool endpoint_missing_ = false;
  bool held_ = true;
  bool ask_when_released_ = false;
  // The selected product's open from its detail, and its latest buy price.
  std::optional<quotes::ExactPrice> open_;
  std::optional<quotes::ExactPrice> last_buy_;
};

}  // namespace shell
