#!/usr/bin/env bash
# The user units as an install into another prefix has them: the service starts that prefix's
# lumetta-server, and systemd-analyze verify finds nothing wrong with either unit (the program
# is there and executable, the manual page they name is installed); both start for people only,
# and the service has a memory bound and an exposure of at most 4.0 in systemd-analyze security.
#   user_units.sh BUILD_DIR
set -euo pipefail
build_dir=$(realpath "${1:?}")
work=$(mktemp -d /tmp/lumetta-units.XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

cmake --install "$build_dir" --prefix "$work/prefix" >"$work/install.log" || fail "$(cat "$work/install.log")"
units=$work/prefix/lib/systemd/user
grep -qxF "ExecStart=$work/prefix/bin/lumetta-server --live --idle-exit 300" "$units/lumetta-server.service" ||
  fail "the service does not start the prefix's program: $(grep ExecStart "$units/lumetta-server.service")"

# The page check needs man; without it, only the units themselves.
man_check=(--man=no)
if command -v man >/dev/null; then man_check=(); fi
(cd "$units" && MANPATH=$work/prefix/share/man systemd-analyze verify "${man_check[@]}" \
  lumetta-server.socket lumetta-server.service) >"$work/verify.log" 2>&1 ||
  fail "systemd-analyze verify: $(cat "$work/verify.log")"
# It reports a value it cannot parse but still ends with status 0.
[ ! -s "$work/verify.log" ] || fail "systemd-analyze verify: $(cat "$work/verify.log")"
# Both units are for people only; the service is bounded and sandboxed.
for unit in lumetta-server.socket lumetta-server.service; do
  grep -qxF 'ConditionUser=!@system' "$units/$unit" || fail "$unit starts for system accounts too"
done
grep -q '^MemoryMax=' "$units/lumetta-server.service" || fail "the service has no MemoryMax="
exposure=$(cd "$units" && XDG_RUNTIME_DIR=$work systemd-analyze security --offline=yes \
  lumetta-server.service 2>&1 | sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
[ -n "$exposure" ] || fail "systemd-analyze security gave no exposure level"
awk -v level="$exposure" 'BEGIN { exit !(level <= 4.0) }' ||
  fail "the service's exposure level is $exposure, above 4.0"
echo "user units: ok (exposure $exposure)"
