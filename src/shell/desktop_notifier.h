#pragma once

// A desktop notification through the freedesktop notification service on the session bus.

#include <QString>

#include "shell/environment.h"

namespace shell {

// `answer` hears the service's id for the notification once the bus replies, or nullopt at
// once without a session bus and later when no service answers.
void NotifyDesktop(const QString& summary, const QString& body, NotifyAnswer answer);

}  // namespace shell
