#!/usr/bin/env bash
# Out of sight in one key: `Tessal --toggle` from a second process hides the running panel and
# shows it again where it was, docked or not; the tray icon stays and System.ini is left as it
# is. With no panel running, `--toggle` starts one, shown; a plain second start brings a panel
# back from out of sight.
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

# later_start [ARGUMENT...]: a second Tessal in the panel's folder, which must end at once with
# status 0.
later_start() {
  (cd "$work" && exec ./Tessal "$@") >"$work/later.log" 2>&1 &
  local pid=$!
  own_pids+=("$pid")
  wait_for 10 process_gone "$pid" || fail "Tessal $* still runs"
  local status=0
  wait "$pid" || status=$?
  [ "$status" -eq 0 ] || fail "Tessal $* ended with status $status"
}

# out_of_sight_and_back X Y: --toggle hides the panel at X Y, which stays hidden with the
# pointer where it was, and the next --toggle brings it back at X Y.
out_of_sight_and_back() {
  later_start --toggle
  wait_for 10 panel_hidden || fail "--toggle did not hide the panel at $1 $2"
  tray_window >/dev/null || fail "the tray icon went with the panel"
  move_to $(($1 + 150)) $(($2 < 0 ? 1 : $2 + 40))
  move_to 640 500
  if wait_for 2 panel_window; then fail "the hidden panel came back by itself"; fi
  later_start --toggle
  wait_for 10 panel_window || fail "--toggle did not bring the panel back"
  panel=$(panel_window)
  origin_is "$panel" "$1" "$2" || fail "came back at $(window_origin "$panel"), not at $1 $2"
}

# No panel runs: --toggle starts one, shown.
(cd "$work" && exec ./Tessal --toggle) >"$work/tessal.log" 2>&1 &
tessal_pid=$!
wait_for 30 panel_window || fail "--toggle with no panel running showed none"
wait_for 10 tray_window || fail "no tray icon"
panel=$(panel_window)
read -r x y < <(window_origin "$panel")
# Its first writes are done once it has answered: the toggles must add none.
settled_at $((x + 150)) $((y + 25))
cp "$work/System.ini" "$work/System.ini.before"

out_of_sight_and_back "$x" "$y"
screenshot toggle_back

# Docked out of sight at the top edge it comes back docked, as a strip.
move_to 640 500
drag $((x + 150)) $((y + 25)) $((x + 150)) 27
move_to 640 500
wait_for 10 origin_is "$panel" "$x" -77 || fail "not docked at the top: $(window_origin "$panel")"
out_of_sight_and_back "$x" -77
cmp -s "$work/System.ini.before" "$work/System.ini" || fail "hiding changed System.ini"

# Out of sight, a plain second start brings it back, as it brings back a hidden panel.
later_start --toggle
wait_for 10 panel_hidden || fail "--toggle did not hide the panel"
later_start
wait_for 10 panel_window || fail "a plain second start did not bring the panel back"
if process_ended; then fail "the panel ended"; fi
echo "toggle: ok"
