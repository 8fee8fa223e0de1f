#!/usr/bin/env bash
# Builds the Debian package of Lumetta on a Debian 12 machine: installs what building it needs
# (only what is missing), builds without the test suite into build-package/ with Debian's
# hardening flags and writes lumetta_<version>_<arch>.deb at the top of the repository.
# Install it with
#   apt-get install ./lumetta_*.deb
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck disable=SC1091
. scripts/common.sh
use_utf8_locale

# The program's build needs, dpkg-buildflags and dpkg-shlibdeps (dpkg-dev), and gzip for the
# manual pages and the changelog.
install_missing build-essential cmake ninja-build pkg-config qt6-base-dev libgl-dev \
  libxkbcommon-dev libcurl4-openssl-dev libcpp-httplib-dev libsystemd-dev nlohmann-json3-dev \
  libxcb1-dev dpkg-dev file gzip

build_dir=build-package
build_package "$build_dir"
package=$(find "$build_dir" -maxdepth 1 -name 'lumetta_*.deb' -print -quit)
[ -n "$package" ] || { echo "package.sh: cpack wrote no package" >&2; exit 1; }
cp "$package" .
echo "Built ./$(basename "$package")"
dpkg-deb --field "$(basename "$package")" Package Version Architecture Depends Recommends
