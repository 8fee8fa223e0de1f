#!/usr/bin/env bash
# The package's postinst and postrm against deb-systemd-helper, in a private mount namespace
# whose /etc/systemd/user, /var/lib/systemd and /usr/lib/systemd/user are empty folders of
# its own, so the machine's systemd configuration is never touched: installing enables the
# socket for every user, an upgrade keeps an administrator's disabling, removing masks it,
# purging leaves nothing. Skipped (77) where no mount namespace can be made.
#   maintainer_scripts.sh SOURCE_DIR
set -euo pipefail
source_dir=$(realpath "${1:?}")

if [ "${LUMETTA_IN_NAMESPACE:-}" != 1 ]; then
  for folder in /etc/systemd/user /var/lib/systemd /usr/lib/systemd/user; do
    [ -d "$folder" ] || { echo "SKIP: no $folder to cover"; exit 77; }
  done
  unshare --mount --propagation private true 2>/dev/null || { echo "SKIP: no mount namespace"; exit 77; }
  LUMETTA_IN_NAMESPACE=1 exec unshare --mount --propagation private bash "$0" "$@"
fi

fail() {
  echo "FAIL: $*" >&2
  exit 1
}
# The socket's [Install] names sockets.target, which systemd's own user units provide.
targets=$(mktemp -d)
cp /usr/lib/systemd/user/sockets.target "$targets/" 2>/dev/null || true
for folder in /etc/systemd/user /var/lib/systemd /usr/lib/systemd/user; do
  mount -t tmpfs lumetta-test "$folder"
done
cp -r "$targets/." /usr/lib/systemd/user/ && rm -r "$targets"
cp "$source_dir"/data/systemd/lumetta-server.{socket,service} /usr/lib/systemd/user/
# dpkg runs them so; deb-systemd-helper does nothing otherwise.
export DPKG_MAINTSCRIPT_PACKAGE=lumetta
postinst() { DPKG_MAINTSCRIPT_NAME=postinst sh "$source_dir/cmake/debian/postinst" "$@"; }
postrm() { DPKG_MAINTSCRIPT_NAME=postrm sh "$source_dir/cmake/debian/postrm" "$@"; }
link=/etc/systemd/user/sockets.target.wants/lumetta-server.socket
mask=/etc/systemd/user/lumetta-server.socket

postinst configure ""
[ "$(readlink "$link")" = /usr/lib/systemd/user/lumetta-server.socket ] ||
  fail "installing did not enable the socket: $(ls -lR /etc/systemd/user)"
postinst configure 1.0
[ -L "$link" ] || fail "a second configure lost the enablement"

rm "$link" # as systemctl --global disable would
postinst configure 1.0
[ ! -e "$link" ] || fail "an upgrade enabled the socket the administrator had disabled"
rm -rf /var/lib/systemd/* # forgotten as after a purge: a new install enables it again
postinst configure ""
[ -L "$link" ] || fail "a first install did not enable the socket"

rm /usr/lib/systemd/user/lumetta-server.* # dpkg removes the files before postrm remove
postrm remove
[ "$(readlink "$mask")" = /dev/null ] || fail "removing did not mask the socket"
cp "$source_dir"/data/systemd/lumetta-server.{socket,service} /usr/lib/systemd/user/
postinst configure 1.0
{ [ ! -e "$mask" ] && [ -L "$link" ]; } || fail "reinstalling did not unmask and enable the socket"

rm /usr/lib/systemd/user/lumetta-server.*
postrm remove
postrm purge
left=$(find /etc/systemd/user /var/lib/systemd -name '*lumetta*')
[ -z "$left" ] || fail "purging left $left"
echo "maintainer scripts: ok"
