#!/bin/sh
# Regenerates every PNG in this folder from its SVG source: each picture at its natural size and
# at double size (name@2x.png, picked up for 200 % scaling), and the maker's logo at the sizes of
# the window and tray icon set. Safe to run again: every output is simply overwritten.
set -eu

cd "$(dirname "$0")"

if ! command -v rsvg-convert >/dev/null 2>&1; then
  echo "render.sh: rsvg-convert not found (package librsvg2-bin)" >&2
  exit 1
fi

# render SOURCE OUTPUT WIDTH HEIGHT
render() {
  rsvg-convert --width "$3" --height "$4" --format png --output "$2" "$1"
}

# name width height, at natural size
for entry in \
  background:350:80 \
  other_logo:32:32 \
  icbc:40:40 ccb:40:40 boc:40:40 \
  lock:16:16 unlock:16:16 hide:16:16 \
  up:20:20 mid:20:20 down:20:20 \
  dot:5:5 line:350:2 hand:32:32; do
  name=${entry%%:*}
  size=${entry#*:}
  width=${size%%:*}
  height=${size#*:}
  render "$name.svg" "$name.png" "$width" "$height"
  render "$name.svg" "$name@2x.png" $((width * 2)) $((height * 2))
done

# The window and tray icon set.
for size in 16 22 24 32 48 64 128 256; do
  render other_logo.svg "other_logo_$size.png" "$size" "$size"
done
