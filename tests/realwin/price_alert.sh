#!/usr/bin/env bash
# A price alert end to end: the server drives palladium across the level and back, and the
# notification service on a private session bus hears of it exactly once per crossing, each
# notification in place of the one before; once
# no service answers, the tray icon's message balloon tells instead. The panel neither moves
# nor takes the focus.
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

notes="$work/notifications.txt"
: >"$notes"
# A session bus of the test's own, so that no desktop's service answers.
dbus-daemon --session --nofork --print-address=3 3>"$work/bus.address" >/dev/null 2>&1 &
own_pids+=($!)
bus_ready() { [ -s "$work/bus.address" ]; }
wait_for 10 bus_ready || fail "no session bus"
DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$work/bus.address")
export DBUS_SESSION_BUS_ADDRESS
"${LUMETTA_NOTIFICATION_RECORDER:?}" "$notes" >"$work/recorder.log" 2>&1 &
recorder_pid=$!
own_pids+=("$recorder_pid")
recorder_ready() { grep -q '^ready$' "$work/recorder.log"; }
wait_for 10 recorder_ready || fail "the notification service did not start"

explain_failure() {
  sed 's/^/recorder: /' "$work/recorder.log"
  echo "notifications: $(wc -l <"$notes")"
  tail -n 5 "$server_log" | sed 's/^/server: /'
}

drive() {
  curl -sf -o /dev/null "http://127.0.0.1:$port/Demo/Drive.asp?code=pa&buy=$1" ||
    fail "the server did not drive pa to $1"
}
notes_are() { [ "$(wc -l <"$notes")" -eq "$1" ]; }
# Two more fetches, so the panel surely saw the price last driven.
two_fetches() {
  local before
  before=$(server_requests 'GET /Soft/Price.asp')
  wait_for 20 requests_at_least 'GET /Soft/Price.asp' $((before + 2)) ||
    fail "the panel stopped fetching quotes"
}

drive 900.00
printf '[System]\r\nPriceType=pa\r\nRefreshTime=3\r\nAlert_pa=1000.00,\r\n' >"$work/System.ini"
start_tessal
panel=$(panel_window)
read -r px py < <(window_origin "$panel")
two_fetches
notes_are 0 || fail "a notification before the level was reached"

drive 1000.50
wait_for 20 notes_are 1 || fail "no notification when the price crossed the level"
[ "$(cat "$notes")" = "0|Lumetta|lumetta|现货钯金|买入价 1000.50 已高于 1000.00" ] ||
  fail "unexpected notification: $(cat "$notes")"

# Back under the level but within its margin, and up again: no second notification.
drive 999.50
two_fetches
drive 1000.50
two_fetches
notes_are 1 || fail "a wavering price notified again"

# Past the margin the level re-arms.
drive 998.00
two_fetches
drive 1001.00
wait_for 20 notes_are 2 || fail "no notification after the level re-armed"
[ "$(tail -n 1 "$notes")" = "1|Lumetta|lumetta|现货钯金|买入价 1001.00 已高于 1000.00" ] ||
  fail "unexpected second notification: $(tail -n 1 "$notes")"
origin_is "$panel" "$px" "$py" || fail "the panel moved"
# The X server's own input focus: the window manager's active-window hint can still name a
# window of an earlier client whose id this panel now reuses.
[ "$(xdotool getwindowfocus -f 2>/dev/null || true)" != "$panel" ] || fail "the panel took the focus"

# Without a service the tray icon's own balloon tells.
stop_processes "$recorder_pid"
wait_for 20 tray_window || fail "no tray icon"
drive 998.00
two_fetches
windows=$(visible_windows)
drive 1001.00
wait_for 20 more_windows_than "$windows" || fail "no tray message without a notification service"
screenshot price_alert_tray_message
notes_are 2 || fail "a notification went nowhere it should"
origin_is "$panel" "$px" "$py" || fail "the panel moved"
echo "price alert: ok"
