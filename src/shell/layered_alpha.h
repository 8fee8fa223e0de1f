#pragma once

class QWidget;

namespace Code {

// Gives the whole window one constant alpha (0 transparent .. 255 opaque). True when the
// window system holds that opacity now; a window not yet created takes it when it is shown.
bool SetLayeredAlpha(QWidget* window, int alpha);

}  // namespace Code
