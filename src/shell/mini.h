#pragma once

// `Mini`: the panel. It makes the controls and the feature objects that own the panel's
// state (the quote feed, the news ticker, the window's behaviour and the services), wires
// them together and keeps the design's operations as its own methods; the menu tree lives in
// `Main`, made on first use.

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <functional>
#include <memory>
#include <string_view>

#include "settings/ini_class.h"
#include "shell/boss_key.h"
#include "shell/day_chart.h"
#include "shell/environment.h"
#include "shell/news_feed.h"
#include "shell/panel_controls.h"
#include "shell/panel_hiding.h"
#include "shell/panel_services.h"
#include "shell/price_alerts.h"
#include "shell/quote_details.h"
#include "shell/quote_feed.h"
#include "shell/server_text.h"
#include "shell/tray_tip_parts.h"
#include "shell/window_behaviour.h"

class Main;
class QAction;
class QMouseEvent;
class QTimer;

class Mini : public QWidget {
 public:
  explicit Mini(Environment environment, QWidget* parent = nullptr);
  ~Mini() override;

  Mini(const Mini&) = delete;
  Mini& operator=(const Mini&) = delete;

  // The start-up sequence; the widget shows when it ends.
  void Load();
  void Install();
  // Saves the position, removes the tray icon and ends the program.
  void ExitSystem();
  // Writes the window's place to the settings file.
  void SavePosition() { window_.SavePosition(); }

  // Quote feed.
  void PriceChange(const QString& price_type_string) { quotes_.PriceChange(price_type_string); }
  QString GetPriceType(const QString& price_type_string) const {
    return quotes_.GetPriceType(price_type_string);
  }
  void GetPrice() { quotes_.GetPrice(); }
  // Normalises its argument in place to "3", "5" or "10".
  void ChangeRefreshTime(QString& refresh_time_string) {
    quotes_.ChangeRefreshTime(refresh_time_string);
  }
  const shell::QuoteFeed& Quotes() const { return quotes_; }

  // News ticker. `then` runs once the reply is applied.
  void LoadNews(std::function<void()> then = {}) { news_.LoadNews(std::move(then)); }
  void NewsTick() { news_.Tick(); }
  void NewsClick() { news_.Click(); }
  void NewsHoverOn() { news_.HoverOn(); }
  void NewsHoverOff() { news_.HoverOff(); }
  const QString& NewsList() const { return news_.List(); }

  // Position lock and opacity. `LockString` is "lock" or "unlock" in any case; any other text
  // changes nothing. The opacity is a percentage of the menu, applied only while locked.
  void LockAndUnLock(const QString& lock_string) { window_.LockAndUnLock(lock_string); }
  void SetTransparent(int transparent) { window_.SetTransparent(transparent); }
  // -1 while locked, 0 while unlocked.
  int IsLocked() const { return window_.IsLocked(); }

  // Dragging and docking. A tick of HideTimer hides the unlocked panel at an edge of the
  // screen while the pointer is away and shows it when the pointer touches its strip.
  void HideTick() { window_.HideTick(); }
  void FormMouseMove(QMouseEvent* event) { window_.FormMouseMove(event); }
  // Joins or stays in the always-on-top band, without moving.
  void KeepOnTop() { window_.KeepOnTop(); }

  // Services. `CheckUpDate` with "1" reports every outcome, with anything else only a newer
  // version; `SetAutoRun` normalises its argument to "True" or "False" in place.
  void CheckUpDate(const QString& check_mode) { services_.CheckUpDate(check_mode); }
  void SetAutoRun(QString& auto_run_string) { services_.SetAutoRun(auto_run_string); }
  // One background load of the usage counter; nothing waits for it.
  void CountVisit() { services_.CountVisit(); }

  // Price alerts of every product; the menu item opens the selected product's dialog.
  const shell::PriceAlerts& Alerts() const { return alerts_; }
  shell::PriceAlerts& Alerts() { return alerts_; }
  shell::DayChart& Chart() { return chart_; }
  // The global key that hides and shows the panel, and its menu item.
  shell::BossKey& HideKey() { return boss_key_; }

  // True when no fetch runs or waits to be applied.
  bool FetchesIdle() const {
    return !quotes_.Busy() && !details_.Busy() && !news_.Busy() && !services_.Busy() &&
           !chart_.Busy();
  }

  // Opens a page through the environment's launcher; only web addresses are opened.
  void OpenPage(const std::string& address);

  // Out of sight at once while on view, back where it was while out of sight (`Tessal
  // --toggle`, a key bound to it). Out of sight the tray icon stays and shows no balloon, and
  // alerts still reach the desktop's notification service.
  void ToggleHidden() { hiding_.Toggle(); }
  bool Hidden() const { return hiding_.Hidden(); }

  // Mouse events of the tray icon, by event number.
  void TrayEvent(int event);
  // Pops the context menu up at a point of the screen.
  void PopUpMenu(const QPoint& global_position);

  // Controls and timers by their names.
  shell::Control* Control(std::string_view name) const {
    return shell::FindControl(controls_, name);
  }
  QTimer* PriceTimer() const { return quotes_.Timer(); }
  QTimer* NewsTimer() const { return news_.Timer(); }
  QTimer* HideTimer() const { return window_.Timer(); }
  QTimer* CountTimer() const { return services_.Timer(); }
  // The menu holder, created on first use.
  Main* Menu();
  QAction* MenuItem(std::string_view name);

  // State shared by the panel's parts.
  const QString& PriceTypeValue() const { return quotes_.PriceTypeValue(); }
  const QString& RefreshTimeValue() const { return quotes_.RefreshTimeValue(); }
  int TransparentValue() const { return window_.TransparentValue(); }

  // The window's place in twips, as stored in the settings file.
  int LeftTwips() const { return window_.LeftTwips(); }
  int TopTwips() const { return window_.TopTwips(); }
  void MoveToTwips(int left, int top) { window_.MoveToTwips(left, top); }

  // The settings file the panel reads and writes.
  const IniClass& Ini() const { return ini_; }

  // The system's button-text colour, the labels' normal colour.
  QColor ButtonTextColor() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void hideEvent(QHideEvent* event) override;

 private:
  MenuItemLookup MenuLookup();
  void ConnectShortcuts();
  void StartTimers();
  // Puts the tray icon into the notification area, once.
  void ShowTrayIcon();

  Environment environment_;
  IniClass ini_;
  // Start-up's requests share one time budget; once the panel runs they go to the background.
  shell::StartupBudget startup_budget_;
  std::chrono::steady_clock::time_point created_at_;
  shell::ControlSet controls_;
  std::unique_ptr<Main> main_;
  // The tray tip's parts; the features below each own one.
  shell::TrayTipParts tip_;
  shell::QuoteFeed quotes_;
  shell::QuoteDetails details_;
  shell::NewsFeed news_;
  shell::WindowBehaviour window_;
  shell::PanelServices services_;
  shell::PriceAlerts alerts_;
  shell::DayChart chart_;
  shell::PanelHiding hiding_;
  shell::BossKey boss_key_;
  // Whether the tray icon has been put into the notification area (after the first paint).
  bool tray_shown_ = false;
  QPixmap background_;
  // Set once the program was told to end; start-up goes no further then.
  bool ended_ = false;
};
