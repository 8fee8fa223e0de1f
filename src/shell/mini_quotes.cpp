// The panel's side of the quote feed: product selection, the fetch and its display, and the
// refresh speed. The decisions themselves are plain functions in quotes/.

#include <QAction>
#include <QTimer>
#include <string>

#include "net/endpoints.h"
#include "net/http_request.h"
#include "quotes/catalogue.h"
#include "quotes/quote_reply.h"
#include "quotes/refresh_time.h"
#include "shell/control.h"
#include "shell/layout.h"
#include "shell/main_menu.h"
#include "shell/mini.h"
#include "shell/tray.h"
#include "text/ascii_case.h"

namespace {

QString Text(std::string_view text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

std::string Utf8(const QString& text) { return text.toUtf8().toStdString(); }

}  // namespace

void Mini::ConnectQuoteMenu() {
  for (const quotes::Product& product : quotes::kCatalogue) {
    QObject::connect(main_->Item(product.menu_item), &QAction::triggered, this,
                     [this, text = Text(product.menu_text)] { PriceChange(text); });
  }
  for (const quotes::RefreshChoice& choice : quotes::kRefreshChoices) {
    QObject::connect(main_->Item(choice.menu_item), &QAction::triggered, this,
                     [this, text = Text(choice.choice)] {
                       QString argument = text;
                       ChangeRefreshTime(argument);
                     });
  }
}

void Mini::PriceChange(const QString& price_type_string) {
  const std::string code = text::AsciiLower(Utf8(price_type_string));
  price_type_value_ = QString::fromStdString(code);
  // Stored before the look-up, so whatever was asked for is what the next start reads.
  Write("PriceType", code);

  if (const quotes::Product* product = quotes::FindProduct(code)) {
    const std::pair<const char*, quotes::Shortcut> shortcuts[] = {
        {"ICBCImage", quotes::Shortcut::kIcbc},
        {"CCBImage", quotes::Shortcut::kCcb},
        {"BOCImage", quotes::Shortcut::kBoc},
        {"OtherImage", quotes::Shortcut::kOther}};
    for (const auto& [name, shortcut] : shortcuts) {
      Control(name)->setVisible(product->shortcut == shortcut);
    }
    Control("PriceType")->setText(Text(product->short_label));
    for (const quotes::Product& other : quotes::kCatalogue) {
      MenuItem(other.menu_item)->setChecked(&other == product);
    }
  }

  ShowTrend(static_cast<int>(quotes::Trend::kFlat));
  Control("Price")->setText(Text(shell::kPriceLoadingText));
  GetPrice();
}

QString Mini::GetPriceType(const QString& price_type_string) const {
  if (price_type_string.isEmpty()) return {};
  const quotes::Product* product = quotes::FindProduct(text::AsciiLower(Utf8(price_type_string)));
  return product == nullptr ? QString() : Text(product->display_name);
}

void Mini::GetPrice() {
  const std::string url = endpoints::QuoteListUrl(environment_.server_host);
  Fetch(*price_fetch_,
        [url](const Code::HttpLimits& limits) {
          return Code::HttpRequest(url, false, "GET", "", "", "", "", false, "gb2312", limits);
        },
        [this](const std::string& reply) { ApplyPrice(reply); });
}

void Mini::ApplyPrice(const std::string& reply) {
  shell::Control* price = Control("Price");
  const auto update = quotes::ApplyQuoteReply(reply, Utf8(price_type_value_), Utf8(price->tag),
                                              Utf8(GetPriceType(price_type_value_)));
  if (!update) return;
  price->setText(QString::fromStdString(update->caption));
  if (update->trend) ShowTrend(static_cast<int>(*update->trend));
  if (update->tooltip) Tray::SetTrayTip(QString::fromStdString(*update->tooltip));
  price->tag = QString::fromStdString(update->record);
}

void Mini::ShowTrend(int trend) {
  const auto state = static_cast<quotes::Trend>(trend);
  Control("UpImage")->setVisible(state == quotes::Trend::kRise);
  Control("MidImage")->setVisible(state == quotes::Trend::kFlat);
  Control("DownImage")->setVisible(state == quotes::Trend::kFall);
  QColor color = ButtonTextColor();
  if (state == quotes::Trend::kRise) color = QColor(255, 0, 0);
  if (state == quotes::Trend::kFall) color = QColor(0, 0xC0, 0);
  SetLabelColor(Control("Price"), color);
}

void Mini::ChangeRefreshTime(QString& refresh_time_string) {
  const std::string choice = quotes::NormaliseRefreshTime(Utf8(refresh_time_string));
  refresh_time_string = QString::fromStdString(choice);
  for (const quotes::RefreshChoice& each : quotes::kRefreshChoices) {
    MenuItem(each.menu_item)->setChecked(each.choice == choice);
  }
  Write("RefreshTime", choice);
  refresh_time_value_ = refresh_time_string;
  // Only the interval changes; the next fetch comes from the timer.
  price_timer_->setInterval(quotes::RefreshIntervalMs(choice));
}
