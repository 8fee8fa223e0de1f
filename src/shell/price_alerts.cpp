#include "shell/price_alerts.h"

#include <QAction>
#include <QWidget>
#include <utility>

#include "quotes/catalogue.h"
#include "settings/settings_schema.h"
#include "shell/alert_dialog.h"
#include "shell/panel_dialog.h"
#include "shell/qt_text.h"
#include "shell/tray.h"
#include "text/ascii_case.h"

namespace shell {

PriceAlerts::PriceAlerts(QWidget* panel, MenuItemLookup menu_item, const IniClass& ini,
                         std::function<QString()> selected,
                         std::function<QString(const QString& code)> display_name, Notify notify,
                         std::function<bool()> out_of_sight, TrayTipParts& tip)
    : panel_(panel),
      menu_item_(std::move(menu_item)),
      ini_(ini),
      selected_(std::move(selected)),
      display_name_(std::move(display_name)),
      notify_(std::move(notify)),
      out_of_sight_(std::move(out_of_sight)),
      tip_(tip) {}

void PriceAlerts::ConnectMenu(const Main& menu) {
  QObject::connect(menu.Item("Menu_Alert"), &QAction::triggered, panel_, [this] { OpenDialog(); });
}

void PriceAlerts::ReadStored() {
  for (const quotes::Product& product : quotes::kCatalogue) {
    const std::string code(product.code);
    const std::string stored = settings::ReadAlert(ini_, code);
    if (stored.empty()) continue;
    if (const std::optional<alerts::Levels> levels = alerts::ParseStored(stored)) {
      book_.Set(code, *levels);
    } else {
      refused_.insert(code);
    }
  }
}

std::string PriceAlerts::SelectedCode() const { return text::AsciiLower(Utf8(selected_())); }

void PriceAlerts::Selected() {
  if (dialog_ != nullptr && dialog_code_ != SelectedCode()) {
    // Closed rather than turned to the new product: what was typed was meant for the product
    // its title named. It is deleted later and must not be shown again meanwhile.
    dialog_->close();
    dialog_.clear();
  }
  ShowMark();
}

void PriceAlerts::ShowMark() {
  menu_item_("Menu_Alert")->setChecked(book_.Find(SelectedCode()) != nullptr);
}

void PriceAlerts::SetLevels(const std::string& code, const alerts::Levels& levels) {
  book_.Set(code, levels);
  for (const std::string& refused : refused_) {
    if (refused != code) settings::DeleteAlert(ini_, refused);
  }
  refused_.clear();
  if (levels.Empty()) {
    settings::DeleteAlert(ini_, code);
  } else {
    settings::WriteAlert(ini_, code, alerts::StoredText(levels));
  }
  ShowMark();
}

void PriceAlerts::OpenDialog() {
  const bool first = dialog_ == nullptr;
  if (first) {
    const std::string code = SelectedCode();
    dialog_code_ = code;
    const alerts::Levels* current = book_.Find(code);
    dialog_ =
        new AlertDialog(panel_, display_name_(Text(code)), current ? *current : alerts::Levels{},
                        [this, code](const alerts::Levels& levels) { SetLevels(code, levels); });
  }
  OpenBesidePanel(*panel_, *dialog_, first);
}

void PriceAlerts::Tell(const std::string& code, const QString& summary, const QString& body) {
  if (!notify_) {
    TellInTray(summary, body);
    return;
  }
  // A price swinging across a level notifies on every crossing: each replaces the product's
  // last notification rather than stacking on it.
  const auto last = notification_ids_.find(code);
  const std::uint32_t replaces_id = last == notification_ids_.end() ? 0 : last->second;
  notify_(summary, body, replaces_id,
          [this, panel = QPointer<QWidget>(panel_), code, summary,
           body](std::optional<std::uint32_t> id) {
            // The answer may come after the panel is gone.
            if (panel == nullptr) return;
            if (id) {
              notification_ids_[code] = *id;
            } else {
              TellInTray(summary, body);
            }
          });
}

void PriceAlerts::TellInTray(const QString& summary, const QString& body) const {
  if (out_of_sight_()) return;
  Tray::ShowMessage(summary, body);
}

AlertDialog* PriceAlerts::Dialog() const { return dialog_.data(); }

void PriceAlerts::OnQuote(const std::string& code, const std::string& buy_text) {
  // The crossing's lines last until the next quote, but not before the icon could show them:
  // start-up's first quote comes before the icon is in the notification area.
  if (Tray::IconShown()) tip_.Clear(Tray::TipPart::kAlert);
  const std::optional<alerts::Level> buy = alerts::ParseLevel(buy_text);
  if (!buy) return;
  const std::string lower = text::AsciiLower(code);
  const std::vector<alerts::Crossing> crossings = book_.OnQuote(lower, buy->value);
  if (crossings.empty()) return;
  const QString summary = display_name_(Text(lower));
  std::string lines;
  for (const alerts::Crossing& crossing : crossings) {
    const std::string body = alerts::CrossingText(*buy, crossing);
    Tell(lower, summary, Text(body));
    lines += "\r\n   " + body;
  }
  tip_.Set(Tray::TipPart::kAlert, std::move(lines));
}

}  // namespace shell
