#pragma once

// The chart of the day as a feature of the panel: the menu item that opens it, the day's points
// from the server (or, from a server without them, the quotes the panel has seen since it
// started), and the window that follows the selected product and grows with each quote while
// it is open. Nothing of it runs while the window is closed but the record of seen quotes.

#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "quotes/day_trend.h"
#include "shell/main_menu.h"
#include "shell/server_text.h"

namespace shell {

class ChartWindow;

class DayChart {
 public:
  struct Sources {
    std::function<QString()> selected;                         // the selected product's code
    std::function<QString(const QString& code)> display_name;  // a code's display name
    std::function<std::vector<double>(const std::string& code)> levels;  // its alert levels
    // Unix seconds now, for the quotes the panel sees itself.
    std::function<std::int64_t()> wall_clock;
  };

  DayChart(QWidget* panel, std::string server_host, const StartupBudget& budget, Sources sources);
  ~DayChart();
  DayChart(const DayChart&) = delete;
  DayChart& operator=(const DayChart&) = delete;

  void ConnectMenu(const Main& menu);
  // Opens the window beside the panel for the selected product (or leaves the open one).
  void Open();
  // A product was selected: an open window turns to it.
  void Selected();
  // An applied quote of the selected product, its buy price as received.
  void OnQuote(const std::string& code, const std::string& buy);

  ChartWindow* Window() const;
  bool Busy() const { return fetch_.Busy(); }

 private:
  std::string SelectedCode() const;
  // Asks the server for the open window's product's day.
  void Fetch();
  void ApplyTrend(const std::string& code, const std::string& reply);
  void Redraw();

  QWidget* panel_;
  std::string server_host_;
  ServerText fetch_;
  Sources sources_;
  QPointer<ChartWindow> window_;
  // The product the window shows and its day as last drawn.
  std::string code_;
  quotes::DayTrend day_;
  bool from_server_ = false;  // day_ is the server's, not the quotes seen here
  // The quotes seen since start, per product, for a server without the day's points.
  std::map<std::string, std::vector<quotes::TrendPoint>> seen_;
};

}  // namespace shell
