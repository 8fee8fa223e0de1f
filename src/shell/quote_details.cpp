#include "shell/quote_details.h"

#include <utility>

#include "net/endpoints.h"
#include "quotes/catalogue.h"
#include "quotes/quote_detail.h"
#include "shell/server_text.h"
#include "text/ascii_case.h"

namespace shell {

QuoteDetails::QuoteDetails(std::string server_host, StartupBudget::Clock now, TrayTipParts& tip,
                           Told told)
    : server_host_(std::move(server_host)),
      now_(std::move(now)),
      tip_(tip),
      told_(std::move(told)) {}

void QuoteDetails::Select(const std::string& code) {
  code_ = quotes::FindProduct(code) != nullptr ? code : std::string();
  endpoint_missing_ = false;
  asked_at_.reset();
  // The old product's source says nothing of the new one.
  tip_.Clear(Tray::TipPart::kSource);
  open_.reset();
  last_buy_.reset();
  ShowSinceOpen();
  Ask();
}

void QuoteDetails::OnQuote(const std::string& code, const std::string& buy) {
  if (text::AsciiLower(code) != code_) return;
  last_buy_ = quotes::ParseExactPrice(buy);
  ShowSinceOpen();
}

void QuoteDetails::ShowSinceOpen() {
  tip_.Set(Tray::TipPart::kSinceOpen,
           open_ && last_buy_ ? quotes::SinceOpenTipLine(*open_, *last_buy_) : std::string());
}

void QuoteDetails::Tick() {
  if (asked_at_ && now_() - *asked_at_ < kDetailInterval) return;
  Ask();
}

void QuoteDetails::Release() {
  held_ = false;
  if (!ask_when_released_) return;
  ask_when_released_ = false;
  Ask();
}

void QuoteDetails::Ask() {
  if (code_.empty() || endpoint_missing_) return;
  if (held_) {
    ask_when_released_ = true;
    return;
  }
  // Always in the background: start-up does not wait for what only the tip shows.
  const bool started =
      StartServerText(fetcher_, endpoints::QuoteDetailUrl(server_host_, code_),
                      [this, asked = code_](const Code::HttpReply& reply) { Apply(asked, reply); });
  // While the previous request is out, its reply asks again for the product now selected.
  if (started) asked_at_ = now_();
}

void QuoteDetails::Apply(const std::string& asked_code, const Code::HttpReply& reply) {
  if (asked_code != code_) {
    Ask();
    return;
  }
  if (reply.status == 404) {
    // A server without the endpoint (one replaced by an older one, say): as if never asked.
    endpoint_missing_ = true;
    tip_.Clear(Tray::TipPart::kSource);
    open_.reset();
    ShowSinceOpen();
    told_(std::nullopt, {});
    return;
  }
  // A failed request or a reply that cannot be trusted changes nothing, as with the prices.
  if (reply.status != 200) return;
  const std::optional<quotes::QuoteDetail> detail = quotes::ParseQuoteDetail(reply.text, code_);
  if (!detail) return;
  tip_.Set(Tray::TipPart::kSource, quotes::SourceTipLine(*detail));
  open_ = detail->exact_open;
  ShowSinceOpen();
  std::string no_source_line;
  if (detail->status == quotes::SourceStatus::kNoSource) {
    no_source_line = quotes::NoSourceTipLine(quotes::FindProduct(code_)->display_name);
  }
  told_(detail->market_time, std::move(no_source_line));
}

}  // namespace shell
