#pragma once

// The small dialog that changes or clears the panel's global key: the person presses the new
// chord in a key field. A chord the panel cannot grab (no Ctrl, Alt or Super; a key without a
// name in hotkey::ParseChord) is refused with a short message and the field is emptied for
// another try.

#include <QDialog>
#include <functional>
#include <optional>

#include "hotkey/chord.h"

class QKeySequenceEdit;
class QLabel;
class QPushButton;

namespace shell {

class BossKeyDialog : public QDialog {
 public:
  // `done` receives the chord chosen, nullopt when the person cleared it. Cancel calls nothing.
  BossKeyDialog(QWidget* parent, const std::optional<hotkey::Chord>& current,
                std::function<void(const std::optional<hotkey::Chord>&)> done);

  QKeySequenceEdit* Field() const { return field_; }
  QLabel* Message() const { return message_; }
  QPushButton* OkButton() const { return ok_; }
  QPushButton* ClearButton() const { return clear_; }

 private:
  void TryAccept();

  QKeySequenceEdit* field_;
  QLabel* message_;
  QPushButton* ok_;
  QPushButton* clear_;
  std::function<void(const std::optional<hotkey::Chord>&)> done_;
};

}  // namespace shell
