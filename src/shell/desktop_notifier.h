#pragma once

// A desktop notification through the freedesktop notification service on the session bus;
// where no service answers, the tray icon's own message balloon.

#include <QString>

namespace shell {

void NotifyDesktop(const QString& summary, const QString& body);

}  // namespace shell
