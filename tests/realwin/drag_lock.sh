#!/usr/bin/env bash
# A press on the panel's background and a drag moves the panel, which stays where the button
# is released; locked, the same drag leaves it where it is.
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

start_tessal
panel=$(panel_window)
read -r x y < <(window_origin "$panel")

# Away from every edge, where docking would take over.
drag $((x + 150)) $((y + 25)) $((x + 30)) $((y + 175))
wait_for 10 origin_is "$panel" $((x - 120)) $((y + 150)) ||
  fail "dragged by -120,150 from $x,$y, the panel is at $(window_origin "$panel")"
x=$((x - 120)) y=$((y + 150))
move_to 640 780
settled_at $((x + 150)) $((y + 25))
origin_is "$panel" "$x" "$y" || fail "the panel did not stay where it was dropped"
screenshot dragged

click_at $((x + 328)) $((y + 20)) 1  # lock
wait_for 10 grep -q $'^LockState=Lock\r$' "$work/System.ini" || fail "the panel did not lock"
drag $((x + 150)) $((y + 25)) $((x + 50)) $((y + 125))
settled_at $((x + 150)) $((y + 25))
origin_is "$panel" "$x" "$y" || fail "locked, the panel moved to $(window_origin "$panel")"
echo "drag and locked drag: ok"
