#include "window/platform_choice.h"

#include "text/ascii_case.h"

namespace window {

bool PreferX11(const DesktopSession& session) {
  const bool wayland = !session.wayland_display.empty() ||
                       text::EqualsIgnoreAsciiCase(session.session_type, "wayland");
  return wayland && !session.x_display.empty() && session.qt_platform.empty();
}

}  // namespace window
