#pragma once

// The quote feed on the panel: the selected product, its fetch on PriceTimer's ticks, the
// display with its rise and fall, and the refresh speed. The decisions are plain functions in
// quotes/; this object owns the timer, the fetch, and the record of the previous quote.

#include <QColor>
#include <QString>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "quotes/quote_age.h"
#include "shell/main_menu.h"
#include "shell/server_text.h"
#include "shell/tray_tip_parts.h"

class IniClass;
class QTimer;
class QWidget;

namespace shell {

class Control;

class QuoteFeed {
 public:
  // The controls the feed draws on.
  struct Controls {
    Control* price;
    Control* price_type;
    Control* up;
    Control* mid;
    Control* down;
    Control* icbc;
    Control* ccb;
    Control* boc;
    Control* other;
  };

  // Who hears of a product being selected, of each applied quote of the selected product
  // (its code and buy price as received) and of each refresh tick.
  struct Listener {
    std::function<void()> selected;
    std::function<void(const std::string& code, const std::string& buy)> quoted;
    std::function<void()> ticked;
  };
  using WallClock = std::function<std::chrono::system_clock::time_point()>;

  QuoteFeed(QWidget* panel, Controls controls, MenuItemLookup menu_item, const IniClass& ini,
            const StartupBudget& budget, std::string server_host, StartupBudget::Clock now,
            WallClock wall_now, TrayTipParts& tip, Listener listener = {});

  // Connects the product and speed items of a newly made menu.
  void ConnectMenu(const Main& menu);
  // Start-up's reading of the stored product (an unknown one is replaced and written back)
  // and of the stored refresh time, applied later by ChangeRefreshTime.
  void ReadStored();

  void PriceChange(const QString& price_type_string);
  QString GetPriceType(const QString& price_type_string) const;
  // A tick: says so first when the quote on view has grown plainly old, then fetches.
  void GetPrice();
  // Normalises its argument in place to one of the accepted refresh times.
  void ChangeRefreshTime(QString& refresh_time_string);
  // What the server told of the selected product besides its prices: the market time of its
  // quote (Unix seconds), and the line that replaces the no-server line while no quote came
  // (the server has no source for it). A product switch forgets both; until they are told the
  // sign goes by the arrival of quotes alone.
  void SetDetail(std::optional<std::int64_t> market_time, std::string no_quote_line);

  const QString& PriceTypeValue() const { return price_type_value_; }
  const QString& RefreshTimeValue() const { return refresh_time_value_; }
  // The record of the last quote applied ("" before the first).
  const std::string& Record() const { return record_; }
  QTimer* Timer() const { return timer_; }
  bool Busy() const { return fetch_.Busy(); }

 private:
  void ApplyPrice(const std::string& reply);
  void ShowTrend(int trend);
  // Shows the stale sign once the quote on view is too old, else waits for that moment.
  void ShowAge();
  // Takes the stale sign off: the trend's colour and the tip without the stale line.
  void ClearStale();
  // Whether a quote came and the market time told for it is plainly old.
  bool MarketTimeIsStale() const;
  // The stale line: since the market time when one is known, else since the last arrival.
  std::string StaleLine() const;

  QWidget* panel_;
  Controls controls_;
  MenuItemLookup menu_item_;
  const IniClass& ini_;
  std::string server_host_;
  QTimer* timer_;
  // Fires once when the quote on view would turn stale; each quote moves it on.
  QTimer* stale_timer_;
  ServerText fetch_;
  QString price_type_value_;
  QString refresh_time_value_;
  std::string record_;
  StartupBudget::Clock now_;
  WallClock wall_now_;
  Listener listener_;
  // When the selected product was chosen and when its last quote was applied (monotonic),
  // and that moment on the wall clock, turned into local time only when the tip needs it.
  quotes::MonotonicTime chosen_at_{};
  std::optional<quotes::MonotonicTime> applied_at_;
  std::chrono::system_clock::time_point applied_wall_{};
  // What SetDetail told of the selected product.
  std::optional<std::int64_t> market_time_;
  std::string no_quote_line_;
  QColor trend_color_;
  // Whether the panel says that the quote on view is stale.
  bool stale_ = false;
  // The tip's quote, stale and no-server parts are this feed's.
  TrayTipParts& tip_;
};

}  // namespace shell
