#!/usr/bin/env bash
# Builds the Debian package of the given build folder into a temporary folder and checks it:
# both programs under /usr/bin, the menu entry, the icons and the metainfo, library
# dependencies computed by dpkg-shlibdeps, and the run-time needs no library link shows.
#   deb_package.sh BUILD_DIR
set -euo pipefail
build_dir=$(realpath "${1:?}")
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
  ./usr/share/icons/hicolor/48x48/apps/lumetta.png; do
  grep -qxF "$file" "$work/contents.txt" || fail "the package lacks $file"
done
# Nothing from the test suite or the build folder.
if grep -E 'test|bench|System\.ini' "$work/contents.txt"; then fail "the package holds the above"; fi

depends=$(dpkg-deb --field "$package" Depends)
for needed in libqt6widgets6 libqt6gui6 libqt6core6 libcurl4 libc6 qt6-qpa-plugins fonts-wqy-microhei; do
  [[ $depends == *"$needed"* ]] || fail "Depends lacks $needed: $depends"
done

# The programs in the package are stripped and carry no path of the build folder.
dpkg-deb -x "$package" "$work/root"
for program in Tessal lumetta-server; do
  if file "$work/root/usr/bin/$program" | grep -q 'not stripped'; then fail "$program is not stripped"; fi
  if readelf -d "$work/root/usr/bin/$program" | grep -qE 'RPATH|RUNPATH'; then
    fail "$program keeps a run path"
  fi
done
echo "package: ok ($(basename "$package"); Depends: $depends)"
