#include "shell/panel_hiding.h"

#include <QApplication>
#include <QToolTip>
#include <utility>

namespace shell {

PanelHiding::PanelHiding(QWidget* panel, std::function<void(bool hidden)> changed)
    : panel_(panel), changed_(std::move(changed)) {}

void PanelHiding::Toggle() {
  if (hidden_ || !panel_->isVisible()) {
    Show();
  } else {
    Hide();
  }
}

void PanelHiding::Hide() {
  if (hidden_) return;
  hidden_ = true;
  // A menu or a tip left open would stay on screen by itself.
  while (QWidget* popup = QApplication::activePopupWidget()) {
    popup->close();
    if (QApplication::activePopupWidget() == popup) break;
  }
  QToolTip::hideText();
  for (QWidget* child : panel_->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (child->isWindow() && child->isVisible()) {
      went_along_.emplace_back(child);
      child->hide();
    }
  }
  panel_->hide();
  changed_(true);
}

void PanelHiding::Show() {
  panel_->show();
  if (!hidden_) return;
  hidden_ = false;
  panel_->raise();
  for (const QPointer<QWidget>& window : went_along_) {
    if (window != nullptr) window->show();
  }
  went_along_.clear();
  changed_(false);
}

}  // namespace shell
