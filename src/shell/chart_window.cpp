#include "shell/chart_window.h"

#include <QPainter>
#include <QPainterPath>

#include "shell/panel_colors.h"
#include "shell/qt_text.h"

namespace shell {
namespace {

constexpr int kWidth = 360;
constexpr int kHeight = 220;
// Room for the summary above the plot and the time axis below it.
constexpr int kTopRows = 44;
constexpr int kBottomRows = 20;
constexpr int kSideMargin = 8;
// A pause longer than this is drawn as a break in the line, not as a straight stretch.
constexpr std::int64_t kGapSeconds = std::int64_t{10} * 60;

QColor ChangeColor(const std::optional<quotes::PriceChange>& change, const QColor& flat) {
  if (!change || change->units == 0) return flat;
  return QColor(change->units > 0 ? kRiseColor : kFallColor);
}

}  // namespace

ChartWindow::ChartWindow(QWidget* parent) : QWidget(parent) {
  // Beside the panel, above other windows like it, and never taking the focus from the person's
  // work: it is only looked at.
  setWindowFlags(Qt::Tool | Qt::WindowStaysOnTopHint);
  setAttribute(Qt::WA_ShowWithoutActivating);
  setAttribute(Qt::WA_DeleteOnClose);
  setFocusPolicy(Qt::NoFocus);
  setFixedSize(kWidth, kHeight);
}

QRect ChartWindow::PlotRect() const {
  return {kSideMargin, kTopRows, width() - 2 * kSideMargin, height() - kTopRows - kBottomRows};
}

void ChartWindow::Show(const quotes::DayTrend& day, const std::vector<double>& levels,
                       const QString& display_name) {
  day_ = day;
  levels_ = levels;
  summary_ = quotes::Summarise(day_);
  setWindowTitle(display_name);
  setAccessibleName(display_name);
  setAccessibleDescription(Text(quotes::SpokenSummary(Utf8(display_name), summary_)));
  update();
}

void ChartWindow::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.fillRect(rect(), palette().base());
  const QColor ink = palette().text().color();
  painter.setPen(ink);

  const QRect plot = PlotRect();
  const int row = fontMetrics().height();
  if (!summary_.last) {
    painter.drawText(plot, Qt::AlignCenter, QStringLiteral("今日暂无报价"));
    return;
  }
  painter.drawText(kSideMargin, row,
                   QStringLiteral("最新 ") + Text(quotes::FormatExactPrice(*summary_.last)) +
                       QStringLiteral("  开 ") + Text(quotes::FormatExactPrice(*summary_.open)) +
                       QStringLiteral("  高 ") + Text(quotes::FormatExactPrice(*summary_.high)) +
                       QStringLiteral("  低 ") + Text(quotes::FormatExactPrice(*summary_.low)));
  int x = kSideMargin;
  const auto draw_change = [&](const QString& label,
                               const std::optional<quotes::PriceChange>& change) {
    if (!change) return;
    const QString text = label + Text(quotes::FormatChange(*change)) + QStringLiteral("  ");
    painter.setPen(ChangeColor(change, ink));
    painter.drawText(x, 2 * row, text);
    x += fontMetrics().horizontalAdvance(text);
  };
  draw_change(QStringLiteral("较开盘 "), summary_.since_open);
  draw_change(QStringLiteral("较昨收 "), summary_.since_previous);

  const quotes::ChartScale scale(day_.points, levels_, plot.width(), plot.height());
  const auto at = [&](const quotes::TrendPoint& point) {
    return QPointF(plot.left() + scale.X(point.time),
                   plot.top() + scale.Y(quotes::ToDouble(point.buy)));
  };

  // The alert levels, dashed across the whole plot.
  painter.setPen(QPen(QColor(0xE0, 0x80, 0), 1, Qt::DashLine));
  for (const double level : levels_) {
    const double y = plot.top() + scale.Y(level);
    painter.drawLine(QPointF(plot.left(), y), QPointF(plot.right(), y));
  }

  // The day, one path per stretch between gaps, in the colour of the change since the open.
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(ChangeColor(summary_.since_open, ink), 1.5));
  const std::vector<std::size_t> starts = quotes::StretchStarts(day_.points, kGapSeconds);
  for (std::size_t s = 0; s < starts.size(); ++s) {
    const std::size_t end = s + 1 < starts.size() ? starts[s + 1] : day_.points.size();
    QPainterPath path(at(day_.points[starts[s]]));
    for (std::size_t i = starts[s] + 1; i < end; ++i) path.lineTo(at(day_.points[i]));
    if (end - starts[s] == 1) path.addEllipse(at(day_.points[starts[s]]), 1.5, 1.5);
    painter.drawPath(path);
  }

  // The time axis: the first and the last point on the market's clock.
  painter.setRenderHint(QPainter::Antialiasing, false);
  painter.setPen(ink);
  const int axis = height() - row / 3;
  painter.drawText(kSideMargin, axis,
                   Text(quotes::MarketClock(day_.points.front().time, day_.zone_minutes)));
  const QString last = Text(quotes::MarketClock(day_.points.back().time, day_.zone_minutes));
  painter.drawText(width() - kSideMargin - fontMetrics().horizontalAdvance(last), axis, last);
}

}  // namespace shell
