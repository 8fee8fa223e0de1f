#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Lumetta need (only the
# missing ones, so a second run is quick), then configures and builds into the given folder.
# Usage: scripts/setup.sh [BUILD_DIR] [extra cmake arguments...]
# LUMETTA_TARGETS="Tessal lumetta-server" builds only those targets; by default, everything.
set -euo pipefail
cd "$(dirname "$0")/.."

# shellcheck disable=SC1091
. scripts/common.sh

packages=(
  build-essential cmake ninja-build pkg-config
  qt6-base-dev qt6-base-dev-tools libgl-dev libxkbcommon-dev
  libcurl4-openssl-dev libcpp-httplib-dev libsystemd-dev
  googletest libgtest-dev libgmock-dev libbenchmark-dev
  fonts-wqy-microhei locales openssl
  libxcb1-dev
  xvfb xauth openbox trayer xcompmgr xdotool x11-utils imagemagick librsvg2-bin
  desktop-file-utils appstream dpkg-dev file lintian systemd man-db libglib2.0-bin
  clang-format clang-tidy clang-14 libclang-rt-14-dev
  dbus-daemon curl iproute2 nlohmann-json3-dev
)

install_missing "${packages[@]}"

build_dir=${1:-build}
shift || true
# The one place the build is configured: options for every build go here.
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DLUMETTA_WERROR=ON "$@" >/dev/null

build_args=()
read -r -a targets <<<"${LUMETTA_TARGETS:-}"
if ((${#targets[@]} > 0)); then build_args=(--target "${targets[@]}"); fi
cmake --build "$build_dir" -j "$(nproc)" "${build_args[@]}"
