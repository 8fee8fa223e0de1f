#include "text/tip_parts.h"

namespace Tray {

std::string ComposeTip(const TipParts& parts) {
  if (!parts[TipPart::kNoServer].empty()) return parts[TipPart::kNoServer];
  std::string tip;
  for (const TipPart part :
       {TipPart::kStale, TipPart::kAlert, TipPart::kQuote, TipPart::kSinceOpen, TipPart::kSource}) {
    const std::string& text = parts[part];
    if (text.empty()) continue;
    // The quote's and the alert's texts open with CR LF already; the stale line, the first
    // tip, the change since the open and the source line do not.
    if (!tip.empty() && !text.starts_with('\r')) tip += "\r\n";
    tip += text;
  }
  return tip;
}

}  // namespace Tray
