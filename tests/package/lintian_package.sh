#!/usr/bin/env bash
# Builds the package as scripts/package.sh does (Debian's hardening flags, no test suite) into
# BUILD_DIR/package-lintian, with the compiler launcher of BUILD_DIR, and runs lintian on it:
# any E: or W: tag fails; I: tags are listed and allowed.
#   lintian_package.sh SOURCE_DIR BUILD_DIR
set -euo pipefail
source_dir=$(realpath "${1:?}")
build_dir=$(realpath "${2:?}")
cd "$source_dir"
# shellcheck disable=SC1091
. scripts/common.sh

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

launcher=$(sed -n 's/^CMAKE_CXX_COMPILER_LAUNCHER:[A-Z]*=//p' "$build_dir/CMakeCache.txt")
package_dir=$build_dir/package-lintian
log=$build_dir/package-lintian.log
build_package "$package_dir" "-DCMAKE_CXX_COMPILER_LAUNCHER=$launcher" >"$log" 2>&1 ||
  fail "the package build failed: $(tail -20 "$log")"
package=$(find "$package_dir" -maxdepth 1 -name 'lumetta_*.deb' -print -quit)
[ -n "$package" ] || fail "no lumetta_*.deb in $package_dir"

# lintian says so when run as root; that is no finding about the package.
tags=$(lintian "$package" 2>/dev/null) || true
echo "${tags:-lintian: no tags}"
if grep -qE '^[EW]: ' <<<"$tags"; then fail "lintian reports errors or warnings"; fi
echo "lintian: no E: or W: tag on $(basename "$package")"
