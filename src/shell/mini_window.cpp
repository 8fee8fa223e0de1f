// The panel's side of the window behaviour: the position lock and the opacity. The rules are
// plain functions in window/.

#include <QAction>
#include <string>

#include "settings/stored_values.h"
#include "shell/control.h"
#include "shell/layered_alpha.h"
#include "shell/main_menu.h"
#include "shell/mini.h"
#include "window/lock_and_opacity.h"

void Mini::ConnectWindowMenu() {
  QObject::connect(main_->Item("Menu_LockForm"), &QAction::triggered, this, [this] {
    // The button on view names the next change, whatever the state says.
    LockAndUnLock(!Control("LockImage")->isHidden() ? QStringLiteral("Lock")
                                                    : QStringLiteral("UnLock"));
  });
  for (const window::OpacityChoice& choice : window::kOpacityChoices) {
    QObject::connect(main_->Item(choice.menu_item), &QAction::triggered, this,
                     [this, percent = choice.percent] { SetTransparent(percent); });
  }
}

void Mini::ConnectLockButtons() {
  Control("LockImage")->on_click = [this] { LockAndUnLock(QStringLiteral("Lock")); };
  Control("UnLockImage")->on_click = [this] { LockAndUnLock(QStringLiteral("UnLock")); };
}

void Mini::LockAndUnLock(const QString& lock_string) {
  const std::string text = lock_string.toUtf8().toStdString();
  const std::optional<bool> lock = window::ParseLockString(text);
  if (!lock) return;
  Control("LockImage")->setVisible(!*lock);
  Control("UnLockImage")->setVisible(*lock);
  is_locked_ = *lock ? -1 : 0;
  MenuItem("Menu_LockForm")->setChecked(*lock);
  SetTransparent(transparent_value_);
  Write("LockState", text);
}

void Mini::SetTransparent(int transparent) {
  for (const window::OpacityChoice& choice : window::kOpacityChoices) {
    MenuItem(choice.menu_item)->setChecked(choice.percent == transparent);
  }
  // The lock button on view means unlocked: then the panel stays fully opaque.
  const bool locked = !!Control("LockImage")->isHidden();
  Code::SetLayeredAlpha(this, window::AlphaNow(transparent, locked));
  transparent_value_ = transparent;
  Write("Transparent", std::to_string(transparent));
}
