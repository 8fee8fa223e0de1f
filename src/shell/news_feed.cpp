#include "shell/news_feed.h"

#include <QFont>
#include <QTimer>
#include <QWidget>
#include <utility>

#include "net/endpoints.h"
#include "news/news_ticker.h"
#include "shell/control.h"
#include "shell/named_timer.h"
#include "shell/panel_colors.h"
#include "shell/qt_text.h"

namespace shell {
namespace {

constexpr int kLoadingIntervalMs = 1000;
constexpr int kRotationIntervalMs = 5000;

}  // namespace

NewsFeed::NewsFeed(QWidget* panel, Control* label, const StartupBudget& budget,
                   std::string server_host, OpenPage open_page)
    : panel_(panel),
      label_(label),
      server_host_(std::move(server_host)),
      open_page_(std::move(open_page)),
      timer_(MakeTimer(panel, "NewsTimer", kLoadingIntervalMs)),
      fetch_(budget) {
  QObject::connect(timer_, &QTimer::timeout, panel_, [this] { Tick(); });
}

void NewsFeed::LoadNews(std::function<void()> then) {
  fetch_.Get(endpoints::NewsListUrl(server_host_),
             [this, then = std::move(then)](const std::string& reply) {
               if (!reply.empty()) {
                 list_ = QString::fromStdString(reply);
                 index_ = 0;
               } else {
                 label_->setText(Text(news::kNewsFailedText));
               }
               if (then) then();
             });
}

void NewsFeed::Tick() {
  // While nothing is loaded, each tick loads; the first headline shows as soon as it arrives.
  if (list_.isEmpty()) {
    LoadNews([this] {
      if (!list_.isEmpty()) ShowNextHeadline();
    });
    return;
  }
  ShowNextHeadline();
}

void NewsFeed::ShowNextHeadline() {
  if (timer_->interval() == kLoadingIntervalMs) timer_->setInterval(kRotationIntervalMs);
  const auto headline = news::NextHeadline(Utf8(list_), index_);
  if (!headline) return;
  label_->setText(QString::fromStdString(headline->title));
  link_ = headline->link;
  index_ = headline->next_index;
}

void NewsFeed::Click() {
  switch (news::DecideNewsClick(Utf8(label_->text()), link_)) {
    case news::NewsClick::kOpenHomePage:
      open_page_(endpoints::HomePageUrl(server_host_));
      break;
    case news::NewsClick::kReload:
      label_->setText(Text(news::kNewsLoadingText));
      LoadNews();
      break;
    case news::NewsClick::kOpenLink:
      open_page_(link_);
      break;
    case news::NewsClick::kNothing:
      break;
  }
}

void NewsFeed::HoverOn() {
  const QColor hover(kHeadlineHoverColor);
  if (label_->palette().color(QPalette::WindowText) == hover) return;
  SetTextColor(label_, hover);
  QFont font = label_->font();
  font.setUnderline(true);
  label_->setFont(font);
}

void NewsFeed::HoverOff() {
  const QColor normal = ButtonTextColor(*panel_);
  if (label_->palette().color(QPalette::WindowText) == normal) return;
  SetTextColor(label_, normal);
  QFont font = label_->font();
  font.setUnderline(false);
  label_->setFont(font);
}

}  // namespace shell
