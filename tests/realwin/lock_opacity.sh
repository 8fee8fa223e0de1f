#!/usr/bin/env bash
# The lock button makes the panel translucent at the chosen 50 % (the desktop shows through
# it under a compositor), the unlock button opaque again, and a locked panel comes back locked
# and translucent after 退出 and a new start.
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

# 50 % is alpha 127; the window system holds opacity as a fraction of 0xFFFFFFFF.
half=$((127 * 0xFFFFFFFF / 255))
opacity() { xprop -id "$1" _NET_WM_WINDOW_OPACITY | sed -n 's/.* = \([0-9]*\)$/\1/p'; }
opacity_is() { [ "$(opacity "$1")" = "$2" ]; }
# Without the property, or with the full value, the window is opaque.
opaque() { local value; value=$(opacity "$1"); [ -z "$value" ] || [ "$value" = 4294967295 ]; }
# The mean brightness (0..1) of a strip of the panel's background, as the screen shows it.
brightness() {
  import -window root png:- | convert png:- -crop "60x4+$(($1 + 150))+$(($2 + 72))" +repage \
    -colorspace gray -format '%[fx:mean]' info:
}
darker() { awk -v a="$1" -v b="$2" 'BEGIN { exit !(a < b * 0.8) }'; }

start_tessal
panel=$(panel_window)
read -r x y < <(window_origin "$panel")
opaque "$panel" || fail "an unlocked panel is translucent: $(opacity "$panel")"
wait_for 10 test -n "$(brightness "$x" "$y")"
opaque_brightness=$(brightness "$x" "$y")

click_at $((x + 328)) $((y + 20)) 1  # the lock button
wait_for 10 opacity_is "$panel" "$half" || fail "locked, the opacity is $(opacity "$panel")"
grep -q $'^LockState=Lock\r$' "$work/System.ini" || fail "LockState=Lock was not stored"
locked_darker() { darker "$(brightness "$x" "$y")" "$opaque_brightness"; }
wait_for 10 locked_darker || fail "the locked panel does not let the desktop show through"
screenshot locked_translucent

move_to $((x + 150)) $((y + 25))
click_at $((x + 328)) $((y + 20)) 1  # now the unlock button, at the same place
wait_for 10 opaque "$panel" || fail "unlocked, the opacity is still $(opacity "$panel")"
grep -q $'^LockState=UnLock\r$' "$work/System.ini" || fail "LockState=UnLock was not stored"

# Lock again, leave through the menu, and start anew.
click_at $((x + 328)) $((y + 20)) 1
wait_for 10 opacity_is "$panel" "$half" || fail "locked again, the opacity is $(opacity "$panel")"
before=$(visible_windows)
click_at $((x + 150)) $((y + 25)) 3
wait_for 10 more_windows_than "$before" || fail "no menu after a right click on the panel"
xdotool key Up Return
wait_for 20 process_ended || fail "Tessal still runs after 退出"

start_tessal
panel=$(panel_window)
wait_for 10 opacity_is "$panel" "$half" || fail "restarted locked, the opacity is $(opacity "$panel")"
echo "lock, opacity and restart: ok"
