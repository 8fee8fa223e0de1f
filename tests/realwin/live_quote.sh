#!/usr/bin/env bash
# Live quotes from the bundled server on the real panel, and the composed tray tip after the
# second fetch.
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

printf '[System]\r\nPriceType=au\r\nRefreshTime=3\r\n' >"$work/System.ini"
before=$(server_requests 'GET /Soft/Price.asp')
start_tessal
panel=$(panel_window)
wait_for 20 requests_at_least 'GET /Soft/Price.asp' $((before + 2)) ||
  fail "the panel did not fetch quotes from the timer"
screenshot live_quote
import -window "$panel" "$screenshots/live_quote_panel.png"

# The tip shows under the pointer resting on the tray icon.
wait_for 20 tray_window || fail "no tray icon"
icon=$(tray_window)
read -r ix iy < <(window_origin "$icon")
windows=$(visible_windows)
move_to $((ix + 8)) $((iy + 8))
move_to $((ix + 10)) $((iy + 10))
wait_for 10 more_windows_than "$windows" || fail "no tooltip over the tray icon"
screenshot live_quote_tip
# The composed quote tip has five lines; the first tip, "Lumetta v1.0", has one.
tallest=0
for id in $(xdotool search --onlyvisible --pid "$tessal_pid"); do
  eval "$(xdotool getwindowgeometry --shell "$id" | grep -E '^HEIGHT=')"
  [ "$id" = "$panel" ] || [ "$id" = "$icon" ] || ((HEIGHT <= tallest)) || tallest=$HEIGHT
done
((tallest >= 60)) || fail "the tray tip is not the composed quote (height $tallest)"
grep -q $'^PriceType=au\r$' "$work/System.ini" || fail "PriceType not kept"
echo "live quote: ok"
