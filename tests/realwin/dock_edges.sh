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

start_tessal
panel=$(panel_window)
read -r x y < <(window_origin "$panel")

# Top: dropped 2 px below the edge.
drag $((x + 150)) $((y + 25)) $((x + 150)) 27
away
wait_for 10 origin_is "$panel" "$x" "$hidden_top" || fail "top: not hidden, at $(window_origin "$panel")"
screenshot dock_top_hidden
move_to $((x + 150)) 1
wait_for 10 origin_is "$panel" "$x" "$shown_top" || fail "top: the strip did not bring it back"
screenshot dock_top_shown
away
wait_for 10 origin_is "$panel" "$x" "$hidden_top" || fail "top: not hidden again"

# Left: brought back, then dropped 2 px from the left edge.
move_to $((x + 150)) 1
wait_for 10 origin_is "$panel" "$x" "$shown_top" || fail "top: the strip did not bring it back"
drag $((x + 150)) 40 152 340
away
wait_for 10 origin_is "$panel" "$hidden_left" 299 || fail "left: not hidden, at $(window_origin "$panel")"
move_to 1 340
wait_for 10 origin_is "$panel" "$shown_left" 299 || fail "left: the strip did not bring it back"
away
wait_for 10 origin_is "$panel" "$hidden_left" 299 || fail "left: not hidden again"
screenshot dock_left_hidden

# Right: dropped past the right edge.
move_to 1 340
wait_for 10 origin_is "$panel" "$shown_left" 299 || fail "left: the strip did not bring it back"
drag 150 340 1085 340
away
wait_for 10 origin_is "$panel" "$hidden_right" 299 || fail "right: not hidden, at $(window_origin "$panel")"
move_to 1278 340
wait_for 10 origin_is "$panel" "$shown_right" 299 || fail "right: the strip did not bring it back"
away
wait_for 10 origin_is "$panel" "$hidden_right" 299 || fail "right: not hidden again"
screenshot dock_right_hidden

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
