#pragma once

// The tray tip is one text with several writers: the quote, its source, a crossed alert and
// the stale sign each own a part of it. Each writer sets or clears its own part; the tip is
// composed from all of them here, so no writer has to know what another one shows.

#include <array>
#include <cstddef>
#include <string>

namespace Tray {

// The parts, top to bottom: the front of the tip is what still shows when the 127-byte field
// cuts the rest.
enum class TipPart {
  // While no quote has come at all: the server the panel waits for, shown alone.
  kNoServer,
  // The stale sign's line: since when the quote on view has not been updated.
  kStale,
  // The lines of the levels that the latest quote crossed.
  kAlert,
  // The first tip, then the selected product's quote as last composed.
  kQuote,
  // The change of the quote's buy price since the day's open, when the server gives the open.
  kSinceOpen,
  // Where the server takes the selected product's quote from. Below the quote, so the
  // quote's own lines are the ones that still show when the tip is cut.
  kSource,
};
inline constexpr std::size_t kTipPartCount = 6;

class TipParts {
 public:
  const std::string& operator[](TipPart part) const { return parts_[Index(part)]; }
  std::string& operator[](TipPart part) { return parts_[Index(part)]; }

 private:
  static std::size_t Index(TipPart part) { return static_cast<std::size_t>(part); }
  std::array<std::string, kTipPartCount> parts_;
};

// The tip's whole text. A set no-server part stands alone; otherwise the set parts follow
// each other in order, each on a line of its own: a part that does not open with a line
// break gets one before it.
std::string ComposeTip(const TipParts& parts);

}  // namespace Tray
