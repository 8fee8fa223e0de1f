#pragma once

// The tray tip's one writer. The quote feed, the stale sign and the price alerts each set or
// clear their own part here; the tip shown is composed from all parts, so no feature reads
// or restores what another one wrote.

#include <QString>
#include <string>

#include "text/tip_parts.h"

namespace shell {

class TrayTipParts {
 public:
  // `first_tip` stands in the quote's part until a quote is composed.
  explicit TrayTipParts(std::string first_tip);

  // Replaces one part (the empty text clears it) and shows the tip when it changed. Before
  // the tray icon exists only the parts change; the icon starts with Text().
  void Set(Tray::TipPart part, std::string text);
  void Clear(Tray::TipPart part) { Set(part, {}); }

  // The tip composed from the parts as they stand.
  QString Text() const;

 private:
  Tray::TipParts parts_;
};

}  // namespace shell
