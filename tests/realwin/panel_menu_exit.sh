#!/usr/bin/env bash
# The panel shows; a right click on its background opens the menu; "退出" chosen from the
# menu ends the process and leaves the position in System.ini.
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

start_tessal
panel=$(panel_window)
screenshot panel
read -r x y < <(window_origin "$panel")
[ -f "$work/System.ini" ] || fail "no System.ini after start-up"

before=$(visible_windows)
click_at $((x + 150)) $((y + 25)) 3
wait_for 10 more_windows_than "$before" || fail "no menu after a right click on the panel"
screenshot panel_menu

# The exit item is the menu's last: Up from no selection goes to it.
xdotool key Up Return
wait_for 20 process_ended || fail "Tessal still runs after 退出"
grep -q $'^Left=[0-9]\+\r$' "$work/System.ini" || fail "no Left in System.ini"
grep -q $'^Top=[0-9]\+\r$' "$work/System.ini" || fail "no Top in System.ini"
echo "panel, menu and exit: ok"
