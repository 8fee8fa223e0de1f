#pragma once

// `Mini`: the panel. It owns every control, the four timers and the run-time state; the
// menu tree lives in `Main`, created on first use.

#include <QColor>
#include <QPixmap>
#include <QString>
#include <QWidget>
#include <array>
#include <chrono>
#include <functional>
#include <memory>
#include <string_view>

#include "settings/ini_class.h"
#include "shell/environment.h"
#include "shell/fetcher.h"

class Main;
namespace Code {
class CounterVisitor;
}
class QAction;
class QMouseEvent;
class QTimer;
namespace shell {
class Control;
}

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
  void SavePosition();

  // Quote feed.
  void PriceChange(const QString& price_type_string);
  QString GetPriceType(const QString& price_type_string) const;
  void GetPrice();
  // Normalises its argument in place to "3", "5" or "10".
  void ChangeRefreshTime(QString& refresh_time_string);

  // News ticker.
  // Loads the news list; `then` runs once the reply is applied.
  void LoadNews(std::function<void()> then = {});
  void NewsTick();
  void NewsClick();
  void NewsHoverOn();
  void NewsHoverOff();
  const QString& NewsList() const { return news_list_; }
  int NewsIndex() const { return news_index_; }

  // Position lock and opacity. `LockString` is "lock" or "unlock" in any case; any other text
  // changes nothing. The opacity is a percentage of the menu, applied only while locked.
  void LockAndUnLock(const QString& lock_string);
  void SetTransparent(int transparent);
  // -1 while locked, 0 while unlocked.
  int IsLocked() const { return is_locked_; }

  // Dragging and docking. A tick of HideTimer hides the unlocked panel at an edge of the
  // screen while the pointer is away and shows it when the pointer touches its strip.
  void HideTick();
  void FormMouseMove(QMouseEvent* event);
  // Joins or stays in the always-on-top band, without moving.
  void KeepOnTop();

  // Services. `CheckUpDate` with "1" reports every outcome, with anything else only a newer
  // version; `SetAutoRun` normalises its argument to "True" or "False" in place.
  void CheckUpDate(const QString& check_mode);
  void SetAutoRun(QString& auto_run_string);
  // One background load of the usage counter; nothing waits for it.
  void CountVisit();

  // True when no fetch runs or waits to be applied.
  bool FetchesIdle() const;

  // Opens a page through the environment's launcher; only web addresses are opened.
  void OpenPage(const std::string& address);

  // Mouse events of the tray icon, by event number.
  void TrayEvent(int event);
  // Pops the context menu up at a point of the screen.
  void PopUpMenu(const QPoint& global_position);

  // Controls and timers by their names.
  shell::Control* Control(std::string_view name) const;
  QTimer* PriceTimer() const { return price_timer_; }
  QTimer* NewsTimer() const { return news_timer_; }
  QTimer* HideTimer() const { return hide_timer_; }
  QTimer* CountTimer() const { return count_timer_; }
  // The menu holder, created on first use.
  Main* Menu();
  QAction* MenuItem(std::string_view name);

  // State shared by the panel's parts.
  const QString& PriceTypeValue() const { return price_type_value_; }
  const QString& RefreshTimeValue() const { return refresh_time_value_; }
  int TransparentValue() const { return transparent_value_; }

  // The window's place in twips, as stored in the settings file.
  int LeftTwips() const;
  int TopTwips() const;
  void MoveToTwips(int left, int top);

  // The settings file the panel reads and writes.
  const IniClass& Ini() const { return ini_; }

  // The system's button-text colour, the labels' normal colour.
  QColor ButtonTextColor() const;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateControls();
  void ConnectMenu();
  void ConnectQuoteMenu();
  void ConnectShortcuts();
  void ConnectWindowMenu();
  void ConnectServicesMenu();
  void ConnectLockButtons();
  void ConnectDragSurface();
  static Qt::WindowFlags PanelWindowFlags();
  // Runs a request: during start-up at once, within what is left of the start-up budget; once
  // the panel runs, in the background, with the reply applied when it arrives.
  void Fetch(shell::Fetcher& fetcher, shell::Fetcher::Work work, shell::Fetcher::Apply apply);
  void ApplyPrice(const std::string& reply);
  void ShowNextHeadline();
  void AnswerUpdate(const std::string& record, bool on_request);
  void ShowTrend(int trend);
  void SetLabelColor(shell::Control* label, const QColor& color);
  // A key of the settings file's one section.
  std::string Read(const char* key) const;
  void Write(const char* key, const std::string& value) const;

  Environment environment_;
  IniClass ini_;
  std::array<shell::Control*, 17> controls_{};
  QTimer* count_timer_ = nullptr;
  QTimer* news_timer_ = nullptr;
  QTimer* hide_timer_ = nullptr;
  QTimer* price_timer_ = nullptr;
  std::unique_ptr<Main> main_;
  std::unique_ptr<Code::CounterVisitor> counter_;
  std::unique_ptr<shell::Fetcher> price_fetch_;
  std::unique_ptr<shell::Fetcher> news_fetch_;
  std::unique_ptr<shell::Fetcher> update_fetch_;
  // Start-up's requests share one time budget; once the panel runs they go to the background.
  std::chrono::steady_clock::time_point startup_deadline_;
  bool running_ = false;
  // Whether the tray icon has been put into the notification area (after the first paint).
  bool tray_shown_ = false;
  QPixmap background_;

  QString price_type_value_;
  QString refresh_time_value_;
  int transparent_value_ = 0;
  int is_locked_ = 0;
  // Set once the program was told to end; start-up goes no further then.
  bool ended_ = false;
  // Where in the panel the left button took hold, and whether our own code moves the panel
  // with the pointer (where no window manager does it) until the release.
  QPoint drag_hold_;
  bool dragging_by_hand_ = false;
  QString news_list_;
  int news_index_ = 0;
  // The last position set in twips, kept so that a position survives a restart exactly
  // although the window itself moves in whole pixels.
  int left_twips_ = 0;
  int top_twips_ = 0;
};
