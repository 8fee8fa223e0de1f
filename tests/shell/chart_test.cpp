// The chart of the day: what it draws, and how the menu item, the server's day, the panel's
// quotes and a product switch reach it.

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QImage>
#include <QTest>
#include <string>
#include <vector>

#include "net/wire_paths.h"
#include "shell/chart_window.h"
#include "tests/shell/widget_fixture.h"

namespace {

quotes::ExactPrice Price(std::string_view text) { return quotes::ParseExactPrice(text).value(); }

// Mean row of the pixels in a column that match a colour test; -1 when none does.
template <typename Match>
double MeanRow(const QImage& image, int column, int top, int bottom, Match match) {
  double sum = 0;
  int count = 0;
  for (int y = top; y <= bottom; ++y) {
    if (match(image.pixelColor(column, y))) {
      sum += y;
      ++count;
    }
  }
  return count == 0 ? -1 : sum / count;
}

bool Reddish(const QColor& c) { return c.red() > 180 && c.green() < 110 && c.blue() < 110; }
bool Greenish(const QColor& c) { return c.green() > 120 && c.red() < 100 && c.blue() < 100; }
bool Orange(const QColor& c) {
  return c.red() > 180 && c.green() > 90 && c.green() < 170 && c.blue() < 80;
}

struct Drawn {
  double left;   // the line's row at its left end
  double right;  // ... at its right end
  double level;  // the alert level's row in the middle of the plot
};

Drawn Draw(const std::vector<std::string>& prices, double level, bool (*line)(const QColor&)) {
  quotes::DayTrend day{"au", Price(prices.front()), std::nullopt, 480, {}};
  for (std::size_t i = 0; i < prices.size(); ++i) {
    day.points.push_back({1781510400 + static_cast<std::int64_t>(i) * 60, Price(prices[i])});
  }
  shell::ChartWindow window(nullptr);
  window.Show(day, {level}, QStringLiteral("现货黄金"));
  const QImage image = window.grab().toImage();
  const QRect plot = window.PlotRect();
  return {MeanRow(image, plot.left() + 1, plot.top(), plot.bottom(), line),
          MeanRow(image, plot.right() - 1, plot.top(), plot.bottom(), line),
          MeanRow(image, plot.center().x(), plot.top(), plot.bottom(), Orange)};
}

TEST(ChartWindowTest, ARisingDayEndsHigherAndTheLevelLiesWhereItsPriceIs) {
  const Drawn rise = Draw({"900.00", "905.00", "910.00", "920.00"}, 915, Reddish);
  ASSERT_GE(rise.left, 0);
  ASSERT_GE(rise.right, 0);
  ASSERT_GE(rise.level, 0);
  EXPECT_LT(rise.right, rise.left);  // rows grow downwards
  // 915 is three quarters of the way from 900 to 920.
  EXPECT_NEAR((rise.left - rise.level) / (rise.left - rise.right), 0.75, 0.06);

  // A falling day is drawn in the fall colour and ends lower.
  const Drawn fall = Draw({"920.00", "910.00", "900.00"}, 905, Greenish);
  ASSERT_GE(fall.left, 0);
  EXPECT_GT(fall.right, fall.left);
  EXPECT_NEAR((fall.level - fall.left) / (fall.right - fall.left), 0.75, 0.06);
}

TEST(ChartWindowTest, AScreenReaderHearsTheSummary) {
  shell::ChartWindow window(nullptr);
  quotes::DayTrend day{"au", Price("900"), Price("890"), 480, {{1, Price("909.00")}}};
  window.Show(day, {}, QStringLiteral("现货黄金"));
  EXPECT_EQ(window.accessibleName(), QStringLiteral("现货黄金"));
  EXPECT_TRUE(window.accessibleDescription().contains(QStringLiteral("较开盘 +9.00 (+1.00%)")));
  EXPECT_TRUE(window.accessibleDescription().contains(QStringLiteral("最高 909.00")));
}

constexpr const char* kSettled =
    "[System]\r\nPriceType=au\r\nRefreshTime=5\r\nTransparent=50\r\nLockState=UnLock\r\n"
    "AutoRun=False\r\n";

class ChartTest : public WidgetTest {
 protected:
  void Quote(const std::string& reply) {
    Reply(wire::kPricePath, reply);
    mini_->GetPrice();
    Settle();
  }
};

TEST_F(ChartTest, OpensBesideThePanelGrowsWithQuotesAndFollowsAProductSwitch) {
  WriteIni(kSettled);
  Reply(wire::kPricePath, "au,910.00,910.50\r\nag,30.00,30.10\r\n");
  Reply(wire::kTrendPath,
        "code=au\r\nopen=900.00\r\nprevious=899.00\r\nzone=+08:00\r\n"
        "p=1781510400,900.00\r\np=1781510460,905.00\r\n");
  Mini& mini = StartMini(Server().host());
  const QPoint panel_at = mini.pos();
  mini.MenuItem("Menu_Chart")->trigger();
  Settle();
  shell::ChartWindow* window = mini.Chart().Window();
  ASSERT_NE(window, nullptr);
  EXPECT_EQ(window->windowTitle(), QStringLiteral("现货黄金"));
  ASSERT_EQ(window->Day().points.size(), 2U);
  EXPECT_EQ(window->Day().open, Price("900.00"));
  EXPECT_EQ(mini.pos(), panel_at);
  // Beside the panel, not over it.
  EXPECT_FALSE(window->frameGeometry().intersects(mini.frameGeometry()));

  // Each quote asks the server's day again, with the quote at its market time.
  Reply(wire::kTrendPath,
        "code=au\r\nopen=900.00\r\nprevious=899.00\r\nzone=+08:00\r\n"
        "p=1781510400,900.00\r\np=1781510460,905.00\r\np=1781510463,912.00\r\n");
  Quote("au,912.00,912.50\r\n");
  ASSERT_EQ(window->Day().points.size(), 3U);
  EXPECT_EQ(window->Day().points.back().time, 1781510463);

  // Another product: the server has no day for it, so the quotes the panel saw of it.
  Reply(wire::kTrendPath, "");
  Server().Script(std::string(wire::kTrendPath), {404, "", {}, false, false, false, {}, {}});
  mini.PriceChange(QStringLiteral("AG"));
  Quote("ag,30.50,30.60\r\n");
  EXPECT_EQ(window->windowTitle(), QStringLiteral("现货白银"));
  EXPECT_EQ(window->Day().code, "ag");
  ASSERT_FALSE(window->Day().points.empty());
  EXPECT_EQ(window->Day().points.back().buy, Price("30.50"));

  // Closed, it stops: quotes no longer reach a window and nothing is asked for it.
  window->close();
  QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
  EXPECT_EQ(mini.Chart().Window(), nullptr);
  const std::size_t asked = RequestCount(wire::kTrendPath);
  Quote("ag,30.70,30.80\r\n");
  mini.PriceChange(QStringLiteral("AU"));
  Settle();
  EXPECT_EQ(RequestCount(wire::kTrendPath), asked);
}

}  // namespace
