#!/usr/bin/env bash
# The tray icon: a right click opens the menu; a double click brings back a hidden panel.
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

start_tessal
panel=$(panel_window)
wait_for 20 tray_window || fail "no tray icon in the notification area"
icon=$(tray_window)
read -r ix iy < <(window_origin "$icon")
ix=$((ix + 8)) iy=$((iy + 8))
screenshot tray

before=$(visible_windows)
click_at "$ix" "$iy" 3
wait_for 10 more_windows_than "$before" || fail "no menu after a right click on the tray icon"
screenshot tray_menu
xdotool key Escape
wait_for 10 sh -c "[ \$(xdotool search --onlyvisible --pid $tessal_pid | wc -l) -le $before ]" ||
  fail "the menu did not close"

read -r px py < <(window_origin "$panel")
click_at $((px + 328)) $((py + 60)) 1
wait_for 10 panel_hidden || fail "the hide button did not hide the panel"
click_at "$ix" "$iy" 1 2
wait_for 10 panel_window || fail "a double click did not bring the panel back"
screenshot tray_double_click
echo "tray icon: ok"
