// The news ticker through the panel: loading, rotation, clicks and the hover look, against
// scripted replies of the local quote server.

#include <QImage>
#include <QTest>
#include <QTimer>
#include <algorithm>

#include "net/wire_paths.h"
#include "shell/control.h"
#include "shell/open_url.h"
#include "tests/shell/widget_fixture.h"

namespace {

class NewsTest : public WidgetTest {
 protected:
  Mini& StartWithNews(const std::string& news) {
    Reply(wire::kNewsPath, news);
    Reply(wire::kPricePath, "");
    return StartMini(Server().host());
  }
  QString Headline() { return mini_->Control("News")->text(); }
  void ClickNews() { QTest::mouseClick(mini_->Control("News"), Qt::LeftButton, {}, QPoint(5, 5)); }
  std::string Home() { return "http://" + Server().host() + std::string(wire::kHomePagePath); }
};

TEST_F(NewsTest, TwoItemsRotateAndAClickOpensTheShownOne) {
  Mini& mini =
      StartWithNews("金价走高|http://news.example/1\r\n白银回落|http://news.example/2\r\n");
  EXPECT_EQ(Headline(), QStringLiteral("正在加载资讯..."));
  EXPECT_EQ(mini.NewsTimer()->interval(), 1000);
  EXPECT_TRUE(mini.NewsTimer()->isActive());

  mini.NewsTick();  // loads and shows the first item at once
  Settle();
  EXPECT_EQ(Headline(), QStringLiteral("金价走高"));
  EXPECT_EQ(mini.NewsTimer()->interval(), 5000);
  mini.NewsTick();
  Settle();
  EXPECT_EQ(Headline(), QStringLiteral("白银回落"));
  ClickNews();
  Settle();
  EXPECT_EQ(opened_pages_, std::vector<std::string>{"http://news.example/2"});
  mini.NewsTick();
  Settle();
  EXPECT_EQ(Headline(), QStringLiteral("金价走高"));
  for (int i = 0; i < 5; ++i) {
    mini.NewsTick();
    Settle();
  }
  // Loaded once for the whole run.
  EXPECT_EQ(RequestCount(wire::kNewsPath), 1u);
}

TEST_F(NewsTest, TheTextAfterTheLastLineEndIsNeverShown) {
  Mini& mini = StartWithNews("第一条|http://a/1\r\n第二条|http://a/2");
  for (int i = 0; i < 3; ++i) {
    mini.NewsTick();
    Settle();
    EXPECT_EQ(Headline(), QStringLiteral("第一条"));
  }
}

TEST_F(NewsTest, ASingleItemWithoutALineEndNeverShows) {
  Mini& mini = StartWithNews("唯一一条|http://a/1");
  mini.NewsTick();
  Settle();
  mini.NewsTick();
  Settle();
  EXPECT_EQ(Headline(), QStringLiteral("正在加载资讯..."));
  EXPECT_EQ(mini.NewsTimer()->interval(), 5000);
  // A click on the loading text opens the maker's home page.
  ClickNews();
  Settle();
  EXPECT_EQ(opened_pages_, std::vector<std::string>{Home()});
}

TEST_F(NewsTest, EmptyTitlesAndBadItems) {
  Mini& mini = StartWithNews("|http://a/empty\r\nno separator\r\na|b|c\r\n好|http://a/good\r\n");
  mini.NewsTick();
  Settle();
  EXPECT_EQ(Headline(), QString());
  ClickNews();
  Settle();
  EXPECT_EQ(opened_pages_, std::vector<std::string>{"http://a/empty"});
  // Items without exactly one separator are stepped past.
  mini.NewsTick();
  Settle();
  EXPECT_EQ(Headline(), QStringLiteral("好"));
  mini.NewsTick();
  Settle();
  EXPECT_EQ(Headline(), QString());
}

TEST_F(NewsTest, LinksThatAreNotWebAddressesAreNotOpened) {
  Mini& mini = StartWithNews("本地|file:///etc/passwd\r\n脚本|javascript:alert(1)\r\n空|\r\n");
  for (int i = 0; i < 3; ++i) {
    mini.NewsTick();
    Settle();
    ClickNews();
    Settle();
  }
  EXPECT_TRUE(opened_pages_.empty());
}

TEST_F(NewsTest, AFailedLoadCanBeRetriedByAClick) {
  lumetta_server::ScriptedReply failure;
  failure.status = 404;
  failure.body = "not here";
  Server().Script(std::string(wire::kNewsPath), failure);
  Reply(wire::kPricePath, "");
  Mini& mini = StartMini(Server().host());

  mini.NewsTick();
  Settle();
  EXPECT_EQ(Headline(), QStringLiteral("资讯加载失败.点击这里重新加载!"));
  EXPECT_EQ(mini.NewsTimer()->interval(), 1000);
  mini.NewsTick();  // every tick tries again while nothing has loaded
  Settle();
  EXPECT_EQ(RequestCount(wire::kNewsPath), 2u);

  // A retry that fails again ends on the failure text, not on the loading text.
  ClickNews();
  Settle();
  EXPECT_EQ(RequestCount(wire::kNewsPath), 3u);
  EXPECT_EQ(Headline(), QStringLiteral("资讯加载失败.点击这里重新加载!"));

  Reply(wire::kNewsPath, "恢复|http://a/back\r\n");
  ClickNews();
  Settle();
  EXPECT_EQ(RequestCount(wire::kNewsPath), 4u);
  EXPECT_EQ(Headline(), QStringLiteral("正在加载资讯..."));
  EXPECT_TRUE(opened_pages_.empty());
  EXPECT_FALSE(mini.NewsList().isEmpty());
  mini.NewsTick();
  Settle();
  EXPECT_EQ(Headline(), QStringLiteral("恢复"));
  EXPECT_EQ(RequestCount(wire::kNewsPath), 4u);
}

TEST_F(NewsTest, HoverLooksLikeALinkUntilThePointerMovesOnThePanel) {
  Mini& mini = StartWithNews("");
  shell::Control* news = mini.Control("News");
  QTest::mouseMove(news, QPoint(10, 5));
  EXPECT_EQ(news->palette().color(QPalette::WindowText), QColor(255, 0, 0));
  EXPECT_TRUE(news->font().underline());
  QTest::mouseMove(mini.Control("FormImage"), QPoint(150, 25));
  EXPECT_EQ(news->palette().color(QPalette::WindowText), mini.ButtonTextColor());
  EXPECT_FALSE(news->font().underline());
}

// The underline has to show on screen, not just be set: the drawn label holds a red line
// under the headline that spans most of the text's width.
TEST_F(NewsTest, TheHoverUnderlineIsDrawnInsideTheLabel) {
  Mini& mini = StartWithNews("金价走高今日收盘|http://a/1\r\n");
  mini.NewsTick();
  Settle();
  shell::Control* news = mini.Control("News");
  QTest::mouseMove(news, QPoint(10, 5));
  ASSERT_TRUE(news->font().underline());
  const int text_width = news->fontMetrics().horizontalAdvance(news->text());
  ASSERT_GT(text_width, 20);

  const QImage image = news->grab().toImage();
  const qreal ratio = image.devicePixelRatio();
  const auto is_red = [](QColor c) { return c.red() > 200 && c.green() < 80 && c.blue() < 80; };
  int longest_red_row = 0;
  for (int y = 0; y < image.height(); ++y) {
    int red = 0;
    for (int x = 0; x < image.width(); ++x) red += is_red(image.pixelColor(x, y)) ? 1 : 0;
    longest_red_row = std::max(longest_red_row, red);
  }
  EXPECT_GE(longest_red_row, static_cast<int>(text_width * ratio * 0.8));
}

TEST_F(NewsTest, ShortcutsAndTheAboutItemOpenTheirPages) {
  WriteIni("[System]\r\nPriceType=rmb\r\n");
  Mini& mini = StartWithNews("");
  auto click = [&](const char* name) {
    QTest::mouseClick(mini.Control(name), Qt::LeftButton, {}, QPoint(5, 5));
  };
  click("OtherImage");
  mini.MenuItem("Menu_About")->trigger();
  Settle();
  for (const char* item : {"Menu_ICBC_RMB_GOLD", "Menu_CCB_AU9995", "Menu_BOC_RMB_GOLD"}) {
    mini.MenuItem(item)->trigger();
    Settle();
  }
  // Only the last product's logo is visible, but each one opens its own page.
  for (const char* logo : {"ICBCImage", "CCBImage", "BOCImage"}) click(logo);
  EXPECT_EQ(opened_pages_, (std::vector<std::string>{
                               Home(), Home(), "https://mybank.icbc.com.cn/icbc/perbank/index.jsp",
                               "https://ibsbjstar.ccb.com.cn/app/V5/CN/STY1/login.jsp",
                               "https://ebsnew.boc.cn/BocnetClient/LoginFrame.do?_locale=zh_CN"}));
  // A right click is not a click.
  QTest::mouseClick(mini.Control("ICBCImage"), Qt::RightButton, {}, QPoint(5, 5));
  EXPECT_EQ(opened_pages_.size(), 5u);
}

TEST(OpenUrlTest, OnlyWebAddressesReachTheLauncher) {
  std::vector<std::string> launched;
  const auto launcher = [&](const std::string& address) { launched.push_back(address); };
  for (const char* address :
       {"", "file:///etc/passwd", "/usr/bin/xterm", "javascript:alert(1)", "mailto:a@example.net",
        "http://", "ftp://example.net/", " http://example.net/"}) {
    Code::OpenUrl(address, launcher);
  }
  EXPECT_TRUE(launched.empty());
  Code::OpenUrl("HTTPS://Bank.example/login?x=1", launcher);
  Code::OpenUrl("http://127.0.0.1:8750/", launcher);
  EXPECT_EQ(launched,
            (std::vector<std::string>{"HTTPS://Bank.example/login?x=1", "http://127.0.0.1:8750/"}));
}

}  // namespace
