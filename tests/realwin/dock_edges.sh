#!/usr/bin/env bash
# Under a window manager, the unlocked panel dropped at the top, left or right edge hides to
# a 3-pixel strip once the pointer leaves, comes back in full when the pointer touches the
# strip, and hides again; locked while hidden, it stays hidden.
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

# The panel is 1200 twips high and 5250 wide on a 1280-pixel (19200-twip) screen: hidden it
# keeps 50 twips, shown it overlaps the edge by 10 twips.
hidden_top=-77 shown_top=-1 hidden_left=-347 shown_left=-1 hidden_right=1277 shown_right=931
away() { move_to 640 500; }

# dock_cycle EDGE HIDDEN_X HIDDEN_Y SHOWN_X SHOWN_Y STRIP_X STRIP_Y: with the pointer away the
# panel hides, the pointer on the strip brings it back, away again it hides again.
dock_cycle() {
  away
  wait_for 10 origin_is "$panel" "$2" "$3" || fail "$1: not hidden, at $(window_origin "$panel")"
  screenshot "dock_$1_hidden"
  move_to "$6" "$7"
  wait_for 10 origin_is "$panel" "$4" "$5" || fail "$1: the strip did not bring it back"
  away
  wait_for 10 origin_is "$panel" "$2" "$3" || fail "$1: not hidden again"
  # Back out for the next move.
  move_to "$6" "$7"
  wait_for 10 origin_is "$panel" "$4" "$5" || fail "$1: the strip did not bring it back"
}

start_tessal
panel=$(panel_window)
read -r x y < <(window_origin "$panel")

# Top: dropped 2 px below the edge.
drag $((x + 150)) $((y + 25)) $((x + 150)) 27
dock_cycle top "$x" "$hidden_top" "$x" "$shown_top" $((x + 150)) 1
# Its own menu open, the shown panel stays, and it stays after the menu closes over it.
before=$(visible_windows)
menu_opens_at "$tessal_pid" $((x + 150)) 20 "$before" || fail "top: no menu on the shown panel"
left_shown() { ! origin_is "$panel" "$x" "$shown_top"; }
if wait_for 2 left_shown; then fail "top: hid behind its menu, at $(window_origin "$panel")"; fi
menu_closes "$tessal_pid" "$before" || fail "top: the menu did not close"
if wait_for 2 left_shown; then fail "top: hid after its menu, at $(window_origin "$panel")"; fi
# Left: dropped 2 px from the left edge.
drag $((x + 150)) 40 152 340
dock_cycle left "$hidden_left" 299 "$shown_left" 299 1 340
# Right: dropped past the right edge.
drag 150 340 1085 340
dock_cycle right "$hidden_right" 299 "$shown_right" 299 1278 340
away
wait_for 10 origin_is "$panel" "$hidden_right" 299 || fail "right: not hidden again"

# Locked from the tray icon's menu while hidden: it stays hidden, the strip no longer works.
wait_for 20 tray_window || fail "no tray icon in the notification area"
icon=$(tray_window)
read -r ix iy < <(window_origin "$icon")
before=$(visible_windows)
click_at $((ix + 8)) $((iy + 8)) 3
wait_for 10 more_windows_than "$before" || fail "no menu from the tray icon"
xdotool key Down Down Return  # 显示界面, then 窗口锁定
wait_for 10 grep -q $'^LockState=Lock\r$' "$work/System.ini" || fail "the panel did not lock"
move_to 1278 340
# Ten ticks and more: a locked panel must not come out.
moved() { ! origin_is "$panel" "$hidden_right" 299; }
if wait_for 2 moved; then fail "locked, the strip moved the panel to $(window_origin "$panel")"; fi
origin_is "$panel" "$hidden_right" 299 || fail "locked, the panel moved"
echo "docking at the top, left and right edges: ok"
