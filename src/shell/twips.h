#pragma once

// Positions and sizes stay in twips in the logic; the window toolkit works in logical pixels.

namespace shell {

inline constexpr int kTwipsPerPixel = 15;

// Nearest pixel, as the panel's controls were laid out on a 96-dpi screen.
constexpr int TwipsToPixels(int twips) {
  return twips >= 0 ? (twips + kTwipsPerPixel / 2) / kTwipsPerPixel
                    : -((-twips + kTwipsPerPixel / 2) / kTwipsPerPixel);
}

constexpr int PixelsToTwips(int pixels) { return pixels * kTwipsPerPixel; }

}  // namespace shell
