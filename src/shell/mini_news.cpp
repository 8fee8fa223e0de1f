// The panel's side of the news ticker: loading, rotating, the click and the hover look.
// What to show next is decided by news::NextHeadline.

#include <QFont>
#include <QTimer>
#include <string>

#include "net/endpoints.h"
#include "net/http_request.h"
#include "news/news_ticker.h"
#include "shell/control.h"
#include "shell/mini.h"

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

constexpr int kLoadingIntervalMs = 1000;
constexpr int kRotationIntervalMs = 5000;

}  // namespace

void Mini::LoadNews(std::function<void()> then) {
  const std::string url = endpoints::NewsListUrl(environment_.server_host);
  Fetch(
      *news_fetch_,
      [url](const Code::HttpLimits& limits) {
        return Code::HttpRequest(url, false, "GET", "", "", "", "", false, "gb2312", limits);
      },
      [this, then = std::move(then)](const std::string& reply) {
        if (!reply.empty()) {
          news_list_ = QString::fromStdString(reply);
          news_index_ = 0;
        } else {
          Control("News")->setText(Text(news::kNewsFailedText));
        }
        if (then) then();
      });
}

void Mini::NewsTick() {
  // While nothing is loaded, each tick loads; the first headline shows as soon as it arrives.
  if (news_list_.isEmpty()) {
    LoadNews([this] {
      if (!news_list_.isEmpty()) ShowNextHeadline();
    });
    return;
  }
  ShowNextHeadline();
}

void Mini::ShowNextHeadline() {
  if (news_timer_->interval() == kLoadingIntervalMs) news_timer_->setInterval(kRotationIntervalMs);
  const auto headline = news::NextHeadline(news_list_.toUtf8().toStdString(), news_index_);
  if (!headline) return;
  shell::Control* label = Control("News");
  label->setText(QString::fromStdString(headline->title));
  label->tag = QString::fromStdString(headline->link);
  news_index_ = headline->next_index;
}

void Mini::NewsClick() {
  shell::Control* label = Control("News");
  const std::string text = label->text().toUtf8().toStdString();
  switch (news::DecideNewsClick(text, label->tag.toUtf8().toStdString())) {
    case news::NewsClick::kOpenHomePage:
      OpenPage(endpoints::HomePageUrl(environment_.server_host));
      break;
    case news::NewsClick::kReload:
      label->setText(Text(news::kNewsLoadingText));
      LoadNews();
      break;
    case news::NewsClick::kOpenLink:
      OpenPage(label->tag.toUtf8().toStdString());
      break;
    case news::NewsClick::kNothing:
      break;
  }
}

void Mini::NewsHoverOn() {
  shell::Control* label = Control("News");
  const QColor red(255, 0, 0);
  if (label->palette().color(QPalette::WindowText) == red) return;
  SetLabelColor(label, red);
  QFont font = label->font();
  font.setUnderline(true);
  label->setFont(font);
}

void Mini::NewsHoverOff() {
  shell::Control* label = Control("News");
  if (label->palette().color(QPalette::WindowText) == ButtonTextColor()) return;
  SetLabelColor(label, ButtonTextColor());
  QFont font = label->font();
  font.setUnderline(false);
  label->setFont(font);
}
