#include "shell/main_menu.h"

#include <QAction>
#include <QMenu>
#include <stdexcept>
#include <vector>

#include "shell/menu_table.h"
#include "shell/qt_text.h"

using shell::Text;

Main::Main(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QStringLiteral("主界面"));
  setObjectName(QStringLiteral("Main"));

  // Menus by level: the latest submenu of each level is the parent of the next level.
  std::vector<QMenu*> open_menus;
  for (const shell::MenuRow& entry : shell::kMenuTree) {
    const auto level = static_cast<size_t>(entry.level);
    open_menus.resize(level);
    if (entry.kind == shell::MenuKind::kRoot) {
      root_ = new QMenu(Text(entry.caption), this);
      root_->setObjectName(Text(entry.name));
      root_->menuAction()->setObjectName(Text(entry.name));
      open_menus.push_back(root_);
      continue;
    }
    QMenu* parent_menu = open_menus.at(level - 1);
    if (entry.kind == shell::MenuKind::kSubmenu) {
      QMenu* submenu = parent_menu->addMenu(Text(entry.caption));
      submenu->setObjectName(Text(entry.name));
      submenu->menuAction()->setObjectName(Text(entry.name));
      open_menus.push_back(submenu);
      continue;
    }
    QAction* action = nullptr;
    if (entry.kind == shell::MenuKind::kSeparator) {
      // The toolkit draws a separator's text beside its line; the line alone is the caption "-".
      action = parent_menu->addSeparator();
    } else {
      action = parent_menu->addAction(Text(entry.caption));
      // Plain checkable actions: an exclusive group would draw radio dots, and the marks
      // are kept in code anyway.
      if (entry.kind == shell::MenuKind::kToggle || entry.kind == shell::MenuKind::kChoice) {
        action->setCheckable(true);
        action->setChecked(entry.checked);
        // Qt flips a checkable item's mark before its handlers run. Connected first, this
        // puts the mark back, so only the owning method sets it, from state.
        QObject::connect(action, &QAction::triggered, action,
                         [action](bool checked) { action->setChecked(!checked); });
      }
    }
    action->setObjectName(Text(entry.name));
  }
}

QAction* Main::Item(std::string_view name) const {
  auto* action = root_->findChild<QAction*>(Text(name));
  if (action == nullptr && root_->menuAction()->objectName() == Text(name)) {
    action = root_->menuAction();
  }
  if (action == nullptr) {
    throw std::logic_error("no menu item " + std::string(name));
  }
  return action;
}
