#pragma once

// Price alerts on the panel: each product's levels, kept in the settings file, the menu item
// that opens the dialog and carries a mark while the selected product has an alert, and the
// notification when a quote of the selected product crosses a level. The rule is in alerts/.

#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <map>
#include <set>
#include <string>

#include "alerts/price_alert.h"
#include "shell/environment.h"
#include "shell/main_menu.h"
#include "shell/tray_tip_parts.h"

class IniClass;

namespace shell {

class AlertDialog;

class PriceAlerts {
 public:
  using Notify = decltype(Environment::notify);

  // `selected` gives the selected product's code, `display_name` a code's display name;
  // `out_of_sight` is true while the panel is kept out of sight, when the tray shows no
  // balloon.
  PriceAlerts(QWidget* panel, MenuItemLookup menu_item, const IniClass& ini,
              std::function<QString()> selected,
              std::function<QString(const QString& code)> display_name, Notify notify,
              std::function<bool()> out_of_sight, TrayTipParts& tip);

  void ConnectMenu(const Main& menu);
  // Start-up's reading of every product's stored alert; a stored value that does not read
  // back is ignored here and removed by the next change of an alert.
  void ReadStored();
  // A product was selected: the mark becomes its, and a dialog open for another product
  // closes.
  void Selected();
  // An applied quote of the selected product, its buy price as received.
  void OnQuote(const std::string& code, const std::string& buy_text);

  // The person's choice for a product: empty levels clear its alert.
  void SetLevels(const std::string& code, const alerts::Levels& levels);
  // Opens the dialog for the selected product (or brings the open one forward).
  void OpenDialog();

  // The open dialog, nullptr while none is open.
  AlertDialog* Dialog() const;
  const alerts::AlertBook& Book() const { return book_; }

 private:
  std::string SelectedCode() const;
  // A crossing of a product's level for the person: through the notification service, else
  // the tray's message.
  void Tell(const std::string& code, const QString& summary, const QString& body);
  // The tray's message, unless the panel is out of sight: the tip still carries the crossing.
  void TellInTray(const QString& summary, const QString& body) const;
  // Puts the menu's mark on when the selected product has an alert.
  void ShowMark();

  QWidget* panel_;
  MenuItemLookup menu_item_;
  const IniClass& ini_;
  std::function<QString()> selected_;
  std::function<QString(const QString& code)> display_name_;
  Notify notify_;
  std::function<bool()> out_of_sight_;
  alerts::AlertBook book_;
  // Products whose stored value was refused, removed at the next change.
  std::set<std::string> refused_;
  // The notification service's id of each product's last notification.
  std::map<std::string, std::uint32_t> notification_ids_;
  QPointer<AlertDialog> dialog_;
  // The product the open dialog sets.
  std::string dialog_code_;
  // The tip's alert part is this object's: the crossed levels, until the next quote once the
  // tray icon shows.
  TrayTipParts& tip_;
};

}  // namespace shell
