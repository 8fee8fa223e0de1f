#!/usr/bin/env bash
# A server that takes the connection and never answers: the panel still shows after the
# start-up budget, its menu opens, it can be dragged, and 退出 ends it, all while requests hang.
# The bounds below are generous; a panel blocked by a request would stay blocked for 15 s.
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

port=${LUMETTA_UPDATE_PORT:?}
cp "${LUMETTA_TESSAL_UPDATE:?}" "$work/Tessal"
"${LUMETTA_SILENT_LISTENER:?}" "$port" &
own_pids+=($!)
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }
wait_for 10 listening || fail "the silent server did not start on port $port"

start_tessal
panel=$(panel_window)
read -r x y < <(window_origin "$panel")

# A refresh tick is under way now and hangs; the panel answers anyway.
before=$(visible_windows)
click_at $((x + 150)) $((y + 25)) 3
wait_for 5 more_windows_than "$before" || fail "no menu while a request hangs"
xdotool key Escape
drag $((x + 150)) $((y + 25)) $((x + 30)) $((y + 125))
wait_for 5 origin_is "$panel" $((x - 120)) $((y + 100)) ||
  fail "the panel did not follow the drag: at $(window_origin "$panel")"
x=$((x - 120)) y=$((y + 100))
screenshot silent_server

before=$(visible_windows)
click_at $((x + 150)) $((y + 25)) 3
wait_for 5 more_windows_than "$before" || fail "no menu while a request hangs"
xdotool key Up Return
wait_for 5 process_ended || fail "退出 did not end the program while a request hangs"
echo "silent server: ok"
