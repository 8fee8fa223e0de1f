#!/usr/bin/env bash
# The start-up question left open for longer than start-up's whole budget for the server:
# nothing is fetched, shown or written until it is answered; after Cancel the first quote is
# fetched before the panel shows, and the news follows at once.
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

port=${LUMETTA_UPDATE_PORT:?}
cp "${LUMETTA_TESSAL_UPDATE:?}" "$work/Tessal"
"$build_dir/lumetta-server" --port "$port" --offer-update optional --log >"$work/server.log" 2>&1 &
own_pids+=($!)
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }
wait_for 10 listening || fail "the update server did not start on port $port"
asked() { grep -c "GET /Soft/$1" "$work/server.log" || true; }

(cd "$work" && exec ./Tessal) >"$work/tessal.log" 2>&1 &
tessal_pid=$!
wait_for 30 more_windows_than 0 || fail "no question at start-up"
box=$(xdotool search --onlyvisible --pid "$tessal_pid" | head -n 1)
# The person reads the question for a while; that is the point of this test, not a wait for
# something to happen.
sleep 7
[ "$(asked Version.asp)" = 1 ] && [ "$(asked Price.asp)" = 0 ] && [ "$(asked News.asp)" = 0 ] ||
  fail "requests while the question was open: $(cat "$work/server.log")"
[ ! -e "$work/System.ini" ] || fail "System.ini was written while the question was open"
panel_hidden || fail "the panel showed before the question was answered"

xdotool windowactivate --sync "$box" key Escape  # Cancel
wait_for 20 panel_window || fail "the panel did not show after Cancel"
[ "$(asked Price.asp)" -ge 1 ] || fail "the first quote was not fetched during start-up"
wait_for 10 sh -c "grep -q 'GET /Soft/News.asp' '$work/server.log'" || fail "no news after Cancel"
[ -e "$work/System.ini" ] || fail "start-up after Cancel wrote no settings"
screenshot question_held
echo "question held at start-up: ok"
