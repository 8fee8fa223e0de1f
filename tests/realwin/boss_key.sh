#!/usr/bin/env bash
# The panel's own global key in a real X server: the default chord, sent with xdotool, hides
# the panel and shows it again, whatever the state of CapsLock, and start-up writes no BossKey.
# A chord another client already holds is told in the tray; the panel runs on and the other
# client keeps the chord.
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

settled=$'[System]\r\nPriceType=au\r\nRefreshTime=5\r\nTransparent=50\r\nLockState=UnLock\r\nAutoRun=False\r\n'
printf '%s' "$settled" >"$work/System.ini"
cp "$work/System.ini" "$work/System.ini.before"
chord=ctrl+alt+shift+h

start_tessal
wait_for 20 tray_window || fail "no tray icon"
read -r px py < <(window_origin "$(panel_window)")
windows_without_message=$(visible_windows)

xdotool key "$chord"
wait_for 10 panel_hidden || fail "the chord did not hide the panel"
screenshot boss_key_hidden
xdotool key "$chord"
wait_for 10 panel_window || fail "the chord did not show the panel again"
origin_is "$(panel_window)" "$px" "$py" || fail "the panel came back elsewhere"

# The grab holds in every lock state.
xdotool key Caps_Lock
xdotool key "$chord"
hidden_with_caps_lock=0
wait_for 10 panel_hidden && hidden_with_caps_lock=1
xdotool key Caps_Lock
((hidden_with_caps_lock)) || fail "the chord did nothing with CapsLock on"
xdotool key "$chord"
wait_for 10 panel_window || fail "the chord did not show the panel after CapsLock"
cmp -s "$work/System.ini.before" "$work/System.ini" ||
  fail "start-up or the chord changed System.ini: $(od -c "$work/System.ini")"

# The panel ends; another client takes the chord before the next start.
kill "$tessal_pid"
wait "$tessal_pid" 2>/dev/null || true
tessal_pid=""
"${LUMETTA_KEY_HOLDER:?}" >"$work/holder.log" 2>&1 &
holder_pid=$!
own_pids+=("$holder_pid")
holder_says() { [ "$(grep -c "^$1\$" "$work/holder.log")" -ge "${2:-1}" ]; }
wait_for 10 holder_says ready || fail "the other client could not grab the chord"
explain_failure() { sed 's/^/holder: /' "$work/holder.log"; }

start_tessal
wait_for 20 tray_window || fail "no tray icon with the chord held elsewhere"
wait_for 20 more_windows_than "$windows_without_message" ||
  fail "no tray message for the chord another client holds"
screenshot boss_key_held_elsewhere
xdotool key "$chord"
wait_for 10 holder_says pressed || fail "the other client lost its chord"
panel_window >/dev/null || fail "the chord held elsewhere hid the panel"
if process_ended; then fail "the panel ended"; fi
read -r px py < <(window_origin "$(panel_window)")
settled_at $((px + 150)) $((py + 25))
echo "boss key: ok"
