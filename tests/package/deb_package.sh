#!/usr/bin/env bash
# Builds the Debian package of the given build folder into a temporary folder and checks it:
# both programs under /usr/bin with their manual pages, the menu entry, the icons, the
# metainfo, the user units, the copyright and changelog, the maintainer scripts, library
# dependencies computed by dpkg-shlibdeps, and the run-time needs no library link shows.
#   deb_package.sh BUILD_DIR SOURCE_DIR
set -euo pipefail
build_dir=$(realpath "${1:?}")
source_dir=$(realpath "${2:?}")
work=$(mktemp -d /tmp/lumetta-package.XXXXXX)
trap 'rm -rf "$work"' EXIT

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

(cd "$work" && cpack -G DEB --config "$build_dir/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log") ||
  fail "cpack failed: $(cat "$work/cpack.log")"
package=$(find "$work/out" -maxdepth 1 -name 'lumetta_*.deb' -print -quit)
[ -n "$package" ] || fail "no lumetta_*.deb in $(ls "$work/out")"
[[ $(basename "$package") =~ ^lumetta_1\.0_[a-z0-9]+\.deb$ ]] || fail "unexpected name $(basename "$package")"

dpkg-deb --contents "$package" | awk '{print $NF}' >"$work/contents.txt"
for file in ./usr/bin/Tessal ./usr/bin/lumetta-server ./usr/share/applications/lumetta.desktop \
  ./usr/share/metainfo/org.example.lumetta.metainfo.xml \
  ./usr/share/icons/hicolor/scalable/apps/lumetta.svg \
  ./usr/share/icons/hicolor/48x48/apps/lumetta.png \
  ./usr/lib/systemd/user/lumetta-server.socket ./usr/lib/systemd/user/lumetta-server.service \
  ./usr/share/man/man1/Tessal.1.gz ./usr/share/man/man1/lumetta-server.1.gz \
  ./usr/share/doc/lumetta/copyright ./usr/share/doc/lumetta/changelog.gz; do
  grep -qxF "$file" "$work/contents.txt" || fail "the package lacks $file"
done
# Nothing from the test suite or the build folder.
if grep -E 'test|bench|System\.ini' "$work/contents.txt"; then fail "the package holds the above"; fi

depends=$(dpkg-deb --field "$package" Depends)
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libcurl4 libc6 qt6-qpa-plugins fonts-wqy-microhei \
  'init-system-helpers (>= 1.52)'; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done
recommends=$(dpkg-deb --field "$package" Recommends)
for needed in xdg-utils sensible-utils qt6-wayland; do
  [[ $recommends == *"$needed"* ]] || fail "Recommends lacks $needed: $recommends"
done
# Debian shows the description in 80 columns.
long=$(dpkg-deb --field "$package" Description | awk 'length > 80')
[ -z "$long" ] || fail "description lines over 80 columns: $long"

# The maintainer scripts are the project's, executable.
dpkg-deb --control "$package" "$work/control"
for script in postinst postrm; do
  cmp -s "$work/control/$script" "$source_dir/cmake/debian/$script" || fail "$script differs from the source's"
  [ -x "$work/control/$script" ] || fail "$script is not executable"
done

# The programs in the package are stripped and carry no path of the build folder.
dpkg-deb -x "$package" "$work/root"
for program in Tessal lumetta-server; do
  if file "$work/root/usr/bin/$program" | grep -q 'not stripped'; then fail "$program is not stripped"; fi
  if readelf -d "$work/root/usr/bin/$program" | grep -qE 'RPATH|RUNPATH'; then
    fail "$program keeps a run path"
  fi
done
# The service starts the packaged program, whatever prefix this build installs to.
grep -qxF 'ExecStart=/usr/bin/lumetta-server --live --idle-exit 300' \
  "$work/root/usr/lib/systemd/user/lumetta-server.service" || fail "the service does not start /usr/bin/lumetta-server"
# Compressed without a name or a time (gzip -n): the header's name flag and time are zero.
for file in usr/share/man/man1/Tessal.1.gz usr/share/man/man1/lumetta-server.1.gz usr/share/doc/lumetta/changelog.gz; do
  gzip -t "$work/root/$file" || fail "$file is not gzip"
  header=$(od -An -tu1 -j3 -N5 "$work/root/$file" | tr -s ' ')
  [ "$header" = " 0 0 0 0 0" ] || fail "$file keeps a name or a time (header bytes$header)"
done
echo "package: ok ($(basename "$package"); Depends: $depends)"
