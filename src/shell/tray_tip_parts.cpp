#include "shell/tray_tip_parts.h"

#include <utility>

#include "shell/qt_text.h"
#include "shell/tray.h"

namespace shell {

TrayTipParts::TrayTipParts(std::string first_tip) {
  parts_[Tray::TipPart::kQuote] = std::move(first_tip);
}

void TrayTipParts::Set(Tray::TipPart part, std::string text) {
  std::string& slot = parts_[part];
  if (slot == text) return;
  slot = std::move(text);
  Tray::SetTrayTip(Text());
}

QString TrayTipParts::Text() const { return shell::Text(Tray::ComposeTip(parts_)); }

}  // namespace shell
