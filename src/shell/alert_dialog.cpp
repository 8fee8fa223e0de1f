#include "shell/alert_dialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "shell/panel_dialog.h"
#include "shell/qt_text.h"

namespace shell {
namespace {

QString LevelText(const std::optional<alerts::Level>& level) {
  return level ? Text(level->text) : QString();
}

}  // namespace

AlertDialog::AlertDialog(QWidget* parent, const QString& display_name,
                         const alerts::Levels& current,
                         std::function<void(const alerts::Levels&)> done)
    : QDialog(parent),
      above_(new QLineEdit(LevelText(current.above), this)),
      below_(new QLineEdit(LevelText(current.below), this)),
      message_(new QLabel(this)),
      done_(std::move(done)) {
  setObjectName(QStringLiteral("AlertDialog"));
  setWindowTitle(display_name);
  above_->setObjectName(QStringLiteral("AlertAbove"));
  below_->setObjectName(QStringLiteral("AlertBelow"));
  message_->setObjectName(QStringLiteral("AlertMessage"));
  message_->setTextFormat(Qt::PlainText);
  message_->hide();

  auto* fields = new QFormLayout;
  fields->addRow(QStringLiteral("高于"), above_);
  fields->addRow(QStringLiteral("低于"), below_);
  const DialogButtons buttons = SetUpPanelDialog(*this);
  ok_ = buttons.ok;
  clear_ = buttons.clear;
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(fields);
  layout->addWidget(message_);
  layout->addWidget(buttons.box);

  connect(ok_, &QPushButton::clicked, this, [this] { TryAccept(); });
  connect(clear_, &QPushButton::clicked, this, [this] {
    done_({});
    accept();
  });
}

void AlertDialog::TryAccept() {
  const alerts::LevelInput input =
      alerts::ReadLevelInput(Utf8(above_->text().trimmed()), Utf8(below_->text().trimmed()));
  if (!input.Accepted()) {
    message_->setText(QStringLiteral("请输入正数，至多十位整数、四位小数，例如 542.30"));
    message_->show();
    (input.above_refused ? above_ : below_)->setFocus();
    return;
  }
  done_(input.levels);
  accept();
}

}  // namespace shell
