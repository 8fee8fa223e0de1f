#!/usr/bin/env bash
# An installed copy: `cmake --install` into a temporary root, whose desktop entry and metainfo
# validate, whose command line answers --help and --version without a display and refuses
# what it does not understand, and whose Tessal, started as the menu entry's Exec line says,
# shows its panel against the installed lumetta-server (chosen with --server) and keeps its
# settings in the user's configuration folder, never beside the installed program.
# shellcheck disable=SC1090
. "${LUMETTA_TEST_LIB:?}"

root="$work/root"
DESTDIR="$root" cmake --install "$build_dir" --prefix /usr >"$work/install.log" ||
  fail "cmake --install failed: $(cat "$work/install.log")"
prefix="$root/usr"
for file in bin/Tessal bin/lumetta-server share/applications/lumetta.desktop \
  share/metainfo/org.example.lumetta.metainfo.xml share/icons/hicolor/scalable/apps/lumetta.svg \
  share/icons/hicolor/16x16/apps/lumetta.png share/icons/hicolor/256x256/apps/lumetta.png; do
  [ -f "$prefix/$file" ] || fail "not installed: $file"
done
desktop-file-validate "$prefix/share/applications/lumetta.desktop" ||
  fail "the desktop entry does not validate"
appstreamcli validate --no-net "$prefix/share/metainfo/org.example.lumetta.metainfo.xml" ||
  fail "the metainfo does not validate"

export PATH="$prefix/bin:$PATH"
home="$work/home"
mkdir -p "$home"
export HOME="$home"
unset XDG_CONFIG_HOME

# Questions about the program need no display; a wrong command line ends with status 1.
(unset DISPLAY && Tessal --version) >"$work/version.txt" || fail "Tessal --version failed"
grep -qx 'Tessal 1.0' "$work/version.txt" || fail "--version printed: $(cat "$work/version.txt")"
(unset DISPLAY && Tessal --help) >"$work/help.txt" || fail "Tessal --help failed"
grep -q -- '--server <host\[:port\]>' "$work/help.txt" || fail "--help does not list --server"
(unset DISPLAY && Tessal --help-all) >/dev/null || fail "Tessal --help-all failed"
for wrong in "--server=http://127.0.0.1:$port/" "--server=127.0.0.1:0" "--bogus" "extra"; do
  status=0
  Tessal "$wrong" >/dev/null 2>"$work/wrong.txt" || status=$?
  [ "$status" -eq 1 ] || fail "Tessal $wrong ended with status $status, not 1"
  [ -s "$work/wrong.txt" ] || fail "Tessal $wrong said nothing"
done
# Without any window system: one line and status 1, never an abort; a wrong command line is
# still reported as such, before the window system is looked for.
for args in "" "--bogus"; do
  status=0
  # shellcheck disable=SC2086
  (unset DISPLAY WAYLAND_DISPLAY && exec Tessal $args) >/dev/null 2>"$work/alone.txt" || status=$?
  [ "$status" -eq 1 ] || fail "Tessal $args without a display ended with status $status, not 1"
  [ "$(wc -l <"$work/alone.txt")" -eq 1 ] || fail "Tessal $args without a display: $(cat "$work/alone.txt")"
done
grep -q "bogus" "$work/alone.txt" || fail "--bogus without a display: $(cat "$work/alone.txt")"
[ ! -e "$home/.config" ] || fail "a refused command line wrote settings"

# The installed server, found on PATH, on a port of this test's own.
own_port=$((port + 3))
lumetta-server --port "$own_port" --seed 3 --log >"$work/server.log" 2>&1 &
own_pids+=($!)
wait_for 10 bash -c "exec 3<>/dev/tcp/127.0.0.1/$own_port" 2>/dev/null ||
  fail "the installed lumetta-server did not start"

# The entry's Exec line with its field codes dropped, as a menu would run it.
exec_line=$(sed -n 's/^Exec=//p' "$prefix/share/applications/lumetta.desktop" |
  sed -E 's/ ?%[fFuUick]//g')
[ "$exec_line" = "Tessal" ] || fail "unexpected Exec line: $exec_line"
(cd / && exec $exec_line --server "127.0.0.1:$own_port") >"$work/tessal.log" 2>&1 &
tessal_pid=$!
wait_for 30 panel_window || fail "the installed Tessal showed no panel"
wait_for 20 sh -c "[ \$(grep -c 'GET /Soft/Price.asp' '$work/server.log') -ge 1 ]" ||
  fail "the installed Tessal asked its server for no quote"
screenshot installed_copy

settings="$home/.config/lumetta/System.ini"
wait_for 10 test -f "$settings" || fail "no settings in $settings"
grep -q $'^PriceType=' "$settings" || fail "the product was not stored in $settings"
[ "$(stat -c %a "$home/.config/lumetta")" = 700 ] || fail "the settings folder is not the user's alone"
[ ! -e "$prefix/bin/System.ini" ] || fail "settings were written beside the installed program"

# Closing saves the position where the settings are.
kill "$tessal_pid"
wait "$tessal_pid" || true
tessal_pid=""
grep -q $'^Left=' "$settings" || fail "the position was not saved in $settings"
[ ! -e "$prefix/bin/System.ini" ] || fail "settings were written beside the installed program"
echo "installed copy: ok"
