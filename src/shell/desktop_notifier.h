#pragma once

// A desktop notification through the freedesktop notification service on the session bus.

#include <QString>

#include "shell/environment.h"

namespace shell {

// The notification takes the place of the service's notification `replaces_id` (0: none).
// `answer` hears the service's id for it once the bus replies, or nullopt at once without a
// session bus and later when no service answers.
void NotifyDesktop(const QString& summary, const QString& body, std::uint32_t replaces_id,
                   NotifyAnswer answer);

}  // namespace shell
