#pragma once

// The chart of the day: the selected product's buy price since the open on the market's time,
// with its open, high, low and last, the change since the open and since the previous close,
// and the product's alert levels as lines. It only paints what quotes/day_trend.h decides.

#include <QRect>
#include <QWidget>
#include <vector>

#include "quotes/day_trend.h"

namespace shell {

class ChartWindow : public QWidget {
 public:
  explicit ChartWindow(QWidget* parent);

  // The day to show, the alert levels to draw and the product's display name (the title).
  void Show(const quotes::DayTrend& day, const std::vector<double>& levels,
            const QString& display_name);
  const quotes::DayTrend& Day() const { return day_; }
  // Where the line is drawn, in the window's pixels.
  QRect PlotRect() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  quotes::DayTrend day_;
  quotes::DaySummary summary_;
  std::vector<double> levels_;
};

}  // namespace shell
