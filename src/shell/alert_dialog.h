#pragma once

// The small dialog that sets a product's price alert: a level above and a level below the
// buy price, each optional. It refuses anything but positive decimal numbers the settings
// file can keep (alerts::ParseLevel) with a short message and keeps what was typed.

#include <QDialog>
#include <functional>

#include "alerts/price_alert.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace shell {

class AlertDialog : public QDialog {
 public:
  // `done` receives the accepted levels; empty levels when the person cleared the alert.
  // Cancel calls nothing.
  AlertDialog(QWidget* parent, const QString& display_name, const alerts::Levels& current,
              std::function<void(const alerts::Levels&)> done);

  QLineEdit* Above() const { return above_; }
  QLineEdit* Below() const { return below_; }
  QLabel* Message() const { return message_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* ClearButton() const { return clear_; }

 private:
  void TryAccept();

  QLineEdit* above_;
  QLineEdit* below_;
  QLabel* message_;
  QPushButton* ok_;
  QPushButton* clear_;
  std::function<void(const alerts::Levels&)> done_;
};

}  // namespace shell
