#pragma once

// What the panel's small dialogs share: a window above the panel (which stays on top) that is
// deleted when closed, the buttons 确定, 取消 and 清除, and how it opens beside the panel.

class QDialog;
class QDialogButtonBox;
class QPushButton;
class QWidget;

namespace shell {

struct DialogButtons {
  QDialogButtonBox* box;
  QPushButton* ok;
  QPushButton* clear;
};

// Sets `dialog` up as one of the panel's dialogs and gives it its buttons; 取消 rejects it.
DialogButtons SetUpPanelDialog(QDialog& dialog);

// Shows `dialog` with the focus, as a separate window beside `panel` the first time.
void OpenBesidePanel(const QWidget& panel, QDialog& dialog, bool first);

}  // namespace shell
