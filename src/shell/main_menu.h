#pragma once

// `Main`: the never-shown holder of the context menu tree.

#include <QWidget>
#include <functional>
#include <string_view>

class QAction;
class QMenu;

// How a feature finds an item of the menu, which is made on first use.
using MenuItemLookup = std::function<QAction*(std::string_view name)>;

class Main : public QWidget {
 public:
  explicit Main(QWidget* parent = nullptr);

  // The root whose children the context menu shows.
  QMenu* MenuRoot() const { return root_; }
  // An item by its name; every name of the tree is present.
  QAction* Item(std::string_view name) const;

 private:
  QMenu* root_ = nullptr;
};
