#pragma once

#include <string_view>

namespace window {

// What the process's environment says about the desktop.
struct DesktopSession {
  std::string_view wayland_display;  // WAYLAND_DISPLAY
  std::string_view session_type;     // XDG_SESSION_TYPE
  std::string_view x_display;        // DISPLAY
  std::string_view qt_platform;      // QT_QPA_PLATFORM, the user's own choice
};

// True when the panel should run on X11 (XWayland) instead: a Wayland client cannot place
// itself, stay on top or dock at an edge. Only when an X server is there to take it and the
// user has not chosen a platform himself.
bool PreferX11(const DesktopSession& session);

}  // namespace window
