#include "shell/day_chart.h"

#include <QAction>
#include <QDateTime>
#include <QWidget>
#include <utility>

#include "net/endpoints.h"
#include "shell/chart_window.h"
#include "shell/place_beside.h"
#include "shell/qt_text.h"
#include "text/ascii_case.h"

namespace shell {
namespace {

// Appends a point unless it is not later than the last; a second quote within the same second
// replaces the first, so times keep increasing.
void Append(std::vector<quotes::TrendPoint>& points, const quotes::TrendPoint& point) {
  if (!points.empty() && point.time <= points.back().time) {
    points.back().buy = point.buy;
    return;
  }
  if (points.size() == quotes::kMaxTrendPoints) points.erase(points.begin());
  points.push_back(point);
}

}  // namespace

DayChart::DayChart(QWidget* panel, std::string server_host, const StartupBudget& budget,
                   Sources sources)
    : panel_(panel),
      server_host_(std::move(server_host)),
      fetch_(budget),
      sources_(std::move(sources)) {}

DayChart::~DayChart() {
  if (window_ != nullptr) delete window_.data();
}

void DayChart::ConnectMenu(const Main& menu) {
  QObject::connect(menu.Item("Menu_Chart"), &QAction::triggered, panel_, [this] { Open(); });
}

ChartWindow* DayChart::Window() const { return window_.data(); }

std::string DayChart::SelectedCode() const { return text::AsciiLower(Utf8(sources_.selected())); }

void DayChart::Open() {
  if (window_ != nullptr) return;
  window_ = new ChartWindow(panel_);
  code_.clear();
  Selected();
  PlaceBesidePanel(*panel_, *window_);
  window_->show();
}

void DayChart::Selected() {
  if (window_ == nullptr) return;
  const std::string code = SelectedCode();
  if (code == code_) return;
  code_ = code;
  from_server_ = false;
  // Until the server's day arrives, the quotes seen of this product.
  day_ = quotes::DayTrend{code_, std::nullopt, std::nullopt,
                          QDateTime::currentDateTime().offsetFromUtc() / 60, seen_[code_]};
  Redraw();
  Fetch();
}

void DayChart::Fetch() {
  const std::string code = code_;
  fetch_.Get(endpoints::TrendUrl(server_host_, code),
             [this, code](const std::string& reply) { ApplyTrend(code, reply); });
}

void DayChart::ApplyTrend(const std::string& code, const std::string& reply) {
  // A window closed meanwhile has no use for it; one turned to another product asks again,
  // as its own request was not sent while this one ran.
  if (window_ == nullptr) return;
  if (code != code_) {
    Fetch();
    return;
  }
  if (auto trend = quotes::ParseTrendReply(reply, code)) {
    day_ = std::move(*trend);
    from_server_ = true;
    Redraw();
  }
}

void DayChart::OnQuote(const std::string& received_code, const std::string& buy) {
  const std::string code = text::AsciiLower(received_code);
  const auto price = quotes::ParseExactPrice(buy);
  if (!price) return;
  const quotes::TrendPoint point{sources_.wall_clock(), *price};
  Append(seen_[code], point);
  if (window_ == nullptr || code != code_) return;
  // The server's day carries the quote's own market time, which the price line does not: it
  // is asked again rather than given a point stamped with this machine's clock.
  if (from_server_) {
    Fetch();
    return;
  }
  Append(day_.points, point);
  Redraw();
}

void DayChart::Redraw() {
  if (window_ == nullptr) return;
  window_->Show(day_, sources_.levels(code_), sources_.display_name(Text(code_)));
}

}  // namespace shell
