#include "shell/quote_feed.h"

#include <QAction>
#include <QDateTime>
#include <QTimer>
#include <QWidget>
#include <utility>

#include "net/endpoints.h"
#include "net/socket_owner.h"
#include "quotes/catalogue.h"
#include "quotes/quote_reply.h"
#include "quotes/refresh_time.h"
#include "settings/settings_schema.h"
#include "shell/control.h"
#include "shell/layout.h"
#include "shell/named_timer.h"
#include "shell/panel_colors.h"
#include "shell/qt_text.h"
#include "text/ascii_case.h"

namespace shell {

using settings::Key;

QuoteFeed::QuoteFeed(QWidget* panel, Controls controls, MenuItemLookup menu_item,
                     const IniClass& ini, const StartupBudget& budget, std::string server_host,
                     StartupBudget::Clock now, WallClock wall_now, TrayTipParts& tip,
                     Listener listener)
    : panel_(panel),
      controls_(controls),
      menu_item_(std::move(menu_item)),
      ini_(ini),
      server_host_(std::move(server_host)),
      timer_(MakeTimer(panel, "PriceTimer", 3000)),
      stale_timer_(MakeTimer(panel, "StaleTimer", 0)),
      fetch_(budget),
      now_(std::move(now)),
      wall_now_(std::move(wall_now)),
      listener_(std::move(listener)),
      chosen_at_(now_()),
      trend_color_(ButtonTextColor(*panel)),
      tip_(tip) {
  QObject::connect(timer_, &QTimer::timeout, panel_, [this] { GetPrice(); });
  stale_timer_->setSingleShot(true);
  QObject::connect(stale_timer_, &QTimer::timeout, panel_, [this] { ShowAge(); });
}

void QuoteFeed::ConnectMenu(const Main& menu) {
  for (const quotes::Product& product : quotes::kCatalogue) {
    QObject::connect(menu.Item(product.menu_item), &QAction::triggered, panel_,
                     [this, text = Text(product.menu_text)] { PriceChange(text); });
  }
  for (const quotes::RefreshChoice& choice : quotes::kRefreshChoices) {
    QObject::connect(menu.Item(choice.menu_item), &QAction::triggered, panel_,
                     [this, text = Text(choice.choice)] {
                       QString argument = text;
                       ChangeRefreshTime(argument);
                     });
  }
}

void QuoteFeed::ReadStored() {
  const quotes::StoredProduct product = quotes::ReadStoredProduct(Read(ini_, Key::kPriceType));
  if (product.write_default) Write(ini_, Key::kPriceType, product.code);
  price_type_value_ = QString::fromStdString(product.code);
  refresh_time_value_ = QString::fromStdString(Read(ini_, Key::kRefreshTime));
}

void QuoteFeed::PriceChange(const QString& price_type_string) {
  const std::string code = text::AsciiLower(Utf8(price_type_string));
  price_type_value_ = QString::fromStdString(code);
  // The new product's quotes are awaited afresh; the old product's age says nothing of them.
  ClearStale();
  chosen_at_ = now_();
  applied_at_.reset();
  market_time_.reset();
  no_quote_line_.clear();
  // Stored before the look-up, so whatever was asked for is what the next start reads.
  Write(ini_, Key::kPriceType, code);

  if (const quotes::Product* product = quotes::FindProduct(code)) {
    const std::pair<Control*, quotes::Shortcut> shortcuts[] = {
        {controls_.icbc, quotes::Shortcut::kIcbc},
        {controls_.ccb, quotes::Shortcut::kCcb},
        {controls_.boc, quotes::Shortcut::kBoc},
        {controls_.other, quotes::Shortcut::kOther}};
    for (const auto& [control, shortcut] : shortcuts) {
      control->setVisible(quotes::ShortcutOf(product->bank) == shortcut);
    }
    controls_.price_type->setText(Text(product->short_label));
    for (const quotes::Product& other : quotes::kCatalogue) {
      menu_item_(other.menu_item)->setChecked(&other == product);
    }
  }

  ShowTrend(static_cast<int>(quotes::Trend::kFlat));
  controls_.price->setText(Text(kPriceLoadingText));
  if (listener_.selected) listener_.selected();
  GetPrice();
}

QString QuoteFeed::GetPriceType(const QString& price_type_string) const {
  if (price_type_string.isEmpty()) return {};
  const quotes::Product* product = quotes::FindProduct(text::AsciiLower(Utf8(price_type_string)));
  return product == nullptr ? QString() : Text(product->display_name);
}

void QuoteFeed::GetPrice() {
  ShowAge();
  if (listener_.ticked) listener_.ticked();
  fetch_.Get(endpoints::QuoteListUrl(server_host_),
             [this](const std::string& reply) { ApplyPrice(reply); });
}

void QuoteFeed::ApplyPrice(const std::string& reply) {
  const auto update = quotes::ApplyQuoteReply(reply, Utf8(price_type_value_), record_,
                                              Utf8(GetPriceType(price_type_value_)));
  if (!update) return;
  applied_at_ = now_();
  applied_wall_ = wall_now_();
  ClearStale();
  ShowAge();
  controls_.price->setText(QString::fromStdString(update->caption));
  if (update->trend) ShowTrend(static_cast<int>(*update->trend));
  if (update->tooltip) tip_.Set(Tray::TipPart::kQuote, *update->tooltip);
  record_ = update->record;
  if (listener_.quoted) listener_.quoted(update->code, update->buy);
}

void QuoteFeed::ShowTrend(int trend) {
  const auto state = static_cast<quotes::Trend>(trend);
  controls_.up->setVisible(state == quotes::Trend::kRise);
  controls_.mid->setVisible(state == quotes::Trend::kFlat);
  controls_.down->setVisible(state == quotes::Trend::kFall);
  QColor color = ButtonTextColor(*panel_);
  if (state == quotes::Trend::kRise) color = QColor(kRiseColor);
  if (state == quotes::Trend::kFall) color = QColor(kFallColor);
  trend_color_ = color;
  if (!stale_) SetTextColor(controls_.price, color);
}

void QuoteFeed::ShowAge() {
  if (stale_) return;
  const quotes::MonotonicTime now = now_();
  const std::chrono::milliseconds interval(timer_->interval());
  const quotes::QuoteAge age = quotes::AgeOfQuote(now, applied_at_, chosen_at_, interval);
  if (age == quotes::QuoteAge::kLive && !MarketTimeIsStale()) {
    // The sign comes when the limit passes, not at the next refresh after it. The timer is
    // moved on by every quote, so it fires only once the quotes stop.
    stale_timer_->start(quotes::TimeUntilStale(now, applied_at_, chosen_at_, interval));
    return;
  }
  stale_timer_->stop();
  stale_ = true;
  SetTextColor(controls_.price, StaleColor(*panel_));
  // Requests to another user's server are refused before they are sent; the tip says why.
  if (Code::LoopbackServerOfAnotherUser(server_host_)) {
    tip_.Set(Tray::TipPart::kNoServer, quotes::ForeignServerTipLine(server_host_));
    return;
  }
  if (age == quotes::QuoteAge::kNeverCame) {
    tip_.Set(Tray::TipPart::kNoServer,
             no_quote_line_.empty() ? quotes::NoServerTipLine(server_host_) : no_quote_line_);
    return;
  }
  tip_.Set(Tray::TipPart::kStale, StaleLine());
}

bool QuoteFeed::MarketTimeIsStale() const {
  return applied_at_ && market_time_ && quotes::MarketTimeIsStale(wall_now_(), *market_time_);
}

std::string QuoteFeed::StaleLine() const {
  const auto local = [](const QDateTime& moment) {
    const QDate date = moment.date();
    const QTime time = moment.time();
    return quotes::LocalTime{date.year(), date.month(),  date.day(),
                             time.hour(), time.minute(), time.second()};
  };
  const auto wall = [](std::chrono::system_clock::time_point moment) {
    const auto ms =
        std::chrono::duration_cast<std::chrono::milliseconds>(moment.time_since_epoch());
    return QDateTime::fromMSecsSinceEpoch(ms.count());
  };
  if (!market_time_) {
    const quotes::LocalTime applied = local(wall(applied_wall_));
    return quotes::StaleTipLine(applied.hour, applied.minute, applied.second);
  }
  return quotes::StaleTipLine(local(QDateTime::fromSecsSinceEpoch(*market_time_)),
                              local(wall(wall_now_())));
}

void QuoteFeed::SetDetail(std::optional<std::int64_t> market_time, std::string no_quote_line) {
  if (market_time == market_time_ && no_quote_line == no_quote_line_) return;
  market_time_ = market_time;
  no_quote_line_ = std::move(no_quote_line);
  // The sign is worked out afresh: the new market time may make it or end it.
  ClearStale();
  ShowAge();
}

void QuoteFeed::ClearStale() {
  if (!stale_) return;
  stale_ = false;
  SetTextColor(controls_.price, trend_color_);
  tip_.Clear(Tray::TipPart::kNoServer);
  tip_.Clear(Tray::TipPart::kStale);
}

void QuoteFeed::ChangeRefreshTime(QString& refresh_time_string) {
  const std::string choice = settings::Normalised(Key::kRefreshTime, Utf8(refresh_time_string));
  refresh_time_string = QString::fromStdString(choice);
  for (const quotes::RefreshChoice& each : quotes::kRefreshChoices) {
    menu_item_(each.menu_item)->setChecked(each.choice == choice);
  }
  Write(ini_, Key::kRefreshTime, choice);
  refresh_time_value_ = refresh_time_string;
  // Only the interval changes; the next fetch comes from the timer.
  timer_->setInterval(quotes::RefreshIntervalMs(choice));
  // The age limit may follow the interval.
  ShowAge();
}

}  // namespace shell
