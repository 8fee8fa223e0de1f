#pragma once

// The panel's 17 controls, made from the layout table, and the pictures they and the window
// show.

#include <QIcon>
#include <array>
#include <string_view>

#include "shell/layout.h"

class QWidget;

namespace shell {

class Control;

using ControlSet = std::array<Control*, kControls.size()>;

// Creates the controls on `panel` at their places, stacked in the table's order, with their
// pictures, cursors, tips and the labels' faces.
ControlSet CreateControls(QWidget* panel);

// A control by its name; a name that is not in the layout table is a programming error.
Control* FindControl(const ControlSet& controls, std::string_view name);

// Puts every control back at its place in the table.
void PlaceControls(const ControlSet& controls);

// The program's icon at the sizes a panel and a tray icon use.
QIcon LogoIcon();

}  // namespace shell
