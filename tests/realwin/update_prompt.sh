#!/usr/bin/env bash
# A server that offers a newer version makes the real Tessal ask at start-up, above
# everything, before its panel shows; OK opens the download page and ends the program
# without writing any setting.
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

port=${LUMETTA_UPDATE_PORT:?}
cp "${LUMETTA_TESSAL_UPDATE:?}" "$work/Tessal"
"$build_dir/lumetta-server" --port "$port" --offer-update optional >"$work/server.log" 2>&1 &
own_pids+=($!)
listening() { (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; }
wait_for 10 listening || fail "the update server did not start on port $port"

(cd "$work" && exec ./Tessal) >"$work/tessal.log" 2>&1 &
tessal_pid=$!
wait_for 30 more_windows_than 0 || fail "no question at start-up"
box=$(xdotool search --onlyvisible --pid "$tessal_pid" | head -n 1)
panel_hidden || fail "the panel showed before the question was answered"
screenshot update_prompt
# Kept above other windows by the window manager.
xprop -id "$box" _NET_WM_STATE | grep -q _NET_WM_STATE_ABOVE || fail "the question is not kept on top"

xdotool windowactivate --sync "$box" key Return  # OK, the default button
wait_for 20 process_ended || fail "Tessal still runs after OK"
# The opener runs detached and may write after the program has ended.
opened_download() { grep -qx "http://127.0.0.1:$port/Soft/Download.html" "$work/opened.txt" 2>/dev/null; }
wait_for 10 opened_download ||
  fail "the download page was not opened: $(cat "$work/opened.txt" 2>/dev/null)"
[ ! -e "$work/System.ini" ] || fail "an update accepted at start-up wrote System.ini"
echo "update prompt at start-up: ok"
