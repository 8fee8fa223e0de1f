#include "shell/panel_dialog.h"

#include <QDialog>
#include <QDialogButtonBox>
#include <QPushButton>

#include "shell/place_beside.h"

namespace shell {

DialogButtons SetUpPanelDialog(QDialog& dialog) {
  // The panel stays on top; its dialog must not open behind it.
  dialog.setWindowFlag(Qt::WindowStaysOnTopHint, true);
  dialog.setAttribute(Qt::WA_DeleteOnClose);
  auto* box = new QDialogButtonBox(&dialog);
  QPushButton* ok = box->addButton(QDialogButtonBox::Ok);
  QPushButton* cancel = box->addButton(QDialogButtonBox::Cancel);
  QPushButton* clear = box->addButton(QStringLiteral("清除"), QDialogButtonBox::ResetRole);
  ok->setText(QStringLiteral("确定"));
  cancel->setText(QStringLiteral("取消"));
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &QDialog::reject);
  return {box, ok, clear};
}

void OpenBesidePanel(const QWidget& panel, QDialog& dialog, bool first) {
  if (first) {
    // A separate window above the panel, not a part of it.
    dialog.setWindowFlag(Qt::Window, true);
    dialog.adjustSize();
    PlaceBesidePanel(panel, dialog);
  }
  dialog.show();
  dialog.raise();
  dialog.activateWindow();
}

}  // namespace shell
