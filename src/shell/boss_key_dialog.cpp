#include "shell/boss_key_dialog.h"

#include <QDialogButtonBox>
#include <QKeySequence>
#include <QKeySequenceEdit>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>
#include <utility>

#include "shell/panel_dialog.h"
#include "shell/qt_text.h"

namespace shell {

BossKeyDialog::BossKeyDialog(QWidget* parent, const std::optional<hotkey::Chord>& current,
                             std::function<void(const std::optional<hotkey::Chord>&)> done)
    : QDialog(parent),
      field_(new QKeySequenceEdit(this)),
      message_(new QLabel(this)),
      done_(std::move(done)) {
  setObjectName(QStringLiteral("BossKeyDialog"));
  setWindowTitle(QStringLiteral("隐藏快捷键"));
  field_->setObjectName(QStringLiteral("BossKeyField"));
  if (current) {
    field_->setKeySequence(
        QKeySequence::fromString(Text(hotkey::ChordText(*current)), QKeySequence::PortableText));
  }
  message_->setObjectName(QStringLiteral("BossKeyMessage"));
  message_->setTextFormat(Qt::PlainText);
  message_->setWordWrap(true);
  message_->hide();

  auto* hint =
      new QLabel(QStringLiteral("按下新的快捷键，在任何窗口中按它即可隐藏或显示面板"), this);
  hint->setWordWrap(true);
  const DialogButtons buttons = SetUpPanelDialog(*this);
  ok_ = buttons.ok;
  clear_ = buttons.clear;
  // A key the person presses goes to the field, not to a button.
  ok_->setAutoDefault(false);
  ok_->setDefault(false);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(hint);
  layout->addWidget(field_);
  layout->addWidget(message_);
  layout->addWidget(buttons.box);

  connect(ok_, &QPushButton::clicked, this, [this] { TryAccept(); });
  connect(clear_, &QPushButton::clicked, this, [this] {
    done_(std::nullopt);
    accept();
  });
}

void BossKeyDialog::TryAccept() {
  const QKeySequence sequence = field_->keySequence();
  // The field records up to four chords in a row; the first is the one pressed.
  const std::optional<hotkey::Chord> chord =
      sequence.isEmpty() ? std::nullopt
                         : hotkey::ParseChord(Utf8(
                               QKeySequence(sequence[0]).toString(QKeySequence::PortableText)));
  if (!chord) {
    message_->setText(
        QStringLiteral("请按 Ctrl、Alt 或 Super 加一个字母、数字、F1–F12 或方向键等，例如 "
                       "Ctrl+Alt+Shift+H；不用快捷键请点“清除”"));
    message_->show();
    field_->clear();
    field_->setFocus();
    return;
  }
  done_(chord);
  accept();
}

}  // namespace shell
