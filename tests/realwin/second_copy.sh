#!/usr/bin/env bash
# One panel per folder: a second Tessal started in the folder of a running one brings the
# hidden panel back and ends at once with status 0, writing nothing and asking the server for
# nothing. A Tessal in another folder is another panel and runs beside it.
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

# The autostart entries, the other thing besides System.ini that a start writes.
autostart_state() {
  if [ -d "$work/config" ]; then find "$work/config" -type f -exec md5sum {} + | sort; fi
}

checks_before=$(server_requests "GET /Soft/Version.asp")
start_tessal
# Its update check is logged by now, so that a later one would be the second's.
wait_for 20 requests_at_least "GET /Soft/Version.asp" $((checks_before + 1)) ||
  fail "the first panel's update check never reached the server"
panel=$(panel_window)
read -r x y < <(window_origin "$panel")
click_at $((x + 328)) $((y + 60)) 1
wait_for 10 panel_hidden || fail "the hide button did not hide the panel"
screenshot second_copy_hidden

[ -f "$work/System.ini" ] || fail "no System.ini after start-up"
cp "$work/System.ini" "$work/System.ini.before"
autostart_before=$(autostart_state)
checks=$(server_requests "GET /Soft/Version.asp")

(cd "$work" && exec ./Tessal) >"$work/second.log" 2>&1 &
second_pid=$!
own_pids+=("$second_pid")
wait_for 10 process_gone "$second_pid" || fail "the second Tessal still runs"
status=0
wait "$second_pid" || status=$?
[ "$status" -eq 0 ] || fail "the second Tessal ended with status $status"

wait_for 10 panel_window || fail "the second start did not bring the panel back"
screenshot second_copy_shown
cmp -s "$work/System.ini.before" "$work/System.ini" || fail "the second start changed System.ini"
[ "$(autostart_state)" = "$autostart_before" ] || fail "the second start changed autostart"
[ "$(server_requests "GET /Soft/Version.asp")" -eq "$checks" ] ||
  fail "the second start asked the server for an update"

# The same program in another folder keeps another System.ini: it shows a panel of its own.
mkdir "$work/other"
cp "$work/Tessal" "$work/other/Tessal"
(cd "$work/other" && exec ./Tessal) >"$work/other.log" 2>&1 &
other_pid=$!
own_pids+=("$other_pid")
wait_for 30 find_panel "$other_pid" || fail "a Tessal in another folder showed no panel"
if process_ended; then fail "the first Tessal ended"; fi
screenshot second_copy_other_folder
echo "second copy: ok"
