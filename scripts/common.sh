# shellcheck shell=bash
# Shared by the scripts that run Lumetta, its tests and its benchmarks. Sourced, not run.

# shellcheck disable=SC1091
. "$(dirname "${BASH_SOURCE[0]}")/wait_for.sh"

# use_utf8_locale: switches to C.UTF-8 unless the locale in force already is UTF-8. Tessal's
# texts are Chinese; under the C locale neither Qt nor the X tools read or write them as such.
use_utf8_locale() {
  case "$(locale charmap 2>/dev/null)" in
    UTF-8) ;;
    *) export LC_ALL=C.UTF-8 ;;
  esac
}

# find_panel PID: prints the id of the shown panel of the Tessal process PID, or fails while
# there is none. Found by process, window class (Qt takes it from the application name) and
# the panel's fixed 350x80: its caption reads differently under different locales.
find_panel() {
  local id WIDTH HEIGHT
  for id in $(xdotool search --all --onlyvisible --pid "$1" --class '^Tessal$' 2>/dev/null); do
    WIDTH="" HEIGHT=""
    eval "$(xdotool getwindowgeometry --shell "$id" 2>/dev/null | grep -E '^(WIDTH|HEIGHT)=[0-9]+$')"
    if [ "$WIDTH" = 350 ] && [ "$HEIGHT" = 80 ]; then
      echo "$id"
      return 0
    fi
  done
  return 1
}

# prepare_tessal_folder FOLDER TESSAL: a copy of the program in FOLDER (System.ini lives next
# to the executable) with an xdg-open that records addresses in FOLDER/opened.txt, so nothing
# opens a browser. Start at login writes to the user's autostart folder: it goes inside FOLDER.
# Everything talks to loopback; a proxy from the environment must not take it elsewhere.
prepare_tessal_folder() {
  cp "$2" "$1/Tessal"
  mkdir -p "$1/bin"
  cat >"$1/bin/xdg-open" <<'SCRIPT'
#!/bin/sh
printf '%s\n' "$1" >>"$(dirname "$0")/../opened.txt"
SCRIPT
  chmod +x "$1/bin/xdg-open"
  export PATH="$1/bin:$PATH" XDG_CONFIG_HOME="$1/config"
  export no_proxy="*" NO_PROXY="*"
}

# shown_windows PID: how many windows of process PID are shown (the panel, a menu, a tip...).
shown_windows() { xdotool search --onlyvisible --pid "$1" 2>/dev/null | wc -l; }
shown_windows_above() { [ "$(shown_windows "$1")" -gt "$2" ]; }
shown_windows_at_most() { [ "$(shown_windows "$1")" -le "$2" ]; }

# move_to X Y: moves the pointer and waits until it got there. A synchronous move to where the
# pointer already is would wait for a motion that never comes.
move_to() {
  # shellcheck disable=SC2034  # all four are set by the eval; kept local
  local X Y SCREEN WINDOW
  eval "$(xdotool getmouselocation --shell)"
  if [ "$X" != "$1" ] || [ "$Y" != "$2" ]; then xdotool mousemove --sync "$1" "$2"; fi
}

# click_at X Y BUTTON [REPEAT]
click_at() {
  move_to "$1" "$2"
  if [ -n "${4:-}" ]; then
    xdotool click --repeat "$4" --delay 60 "$3"
  else
    xdotool click "$3"
  fi
}

window_origin() { # prints "X Y" of a window
  local X Y
  eval "$(xdotool getwindowgeometry --shell "$1" | grep -E '^(X|Y)=')"
  echo "$X $Y"
}

# menu_opens_at PID X Y SHOWN: right-clicks at X Y and waits up to 10 s for more than SHOWN
# windows of process PID, its context menu among them.
menu_opens_at() {
  click_at "$2" "$3" 3
  wait_for 10 shown_windows_above "$1" "$4"
}

# menu_closes PID SHOWN [ATTEMPTS]: presses Escape until no more than SHOWN windows of PID are
# shown, waiting 10 s after the first press, 20 s after the second and so on; fails when the
# last attempt (of 1 by default) still sees more.
menu_closes() {
  local attempt
  for ((attempt = 1; attempt <= ${3:-1}; ++attempt)); do
    xdotool key Escape
    wait_for $((attempt * 10)) shown_windows_at_most "$1" "$2" && return 0
  done
  return 1
}

# stop_processes PID...: asks each to end, waits a bounded while, then forces it. A child that
# ended counts as gone even before its parent collects it.
process_gone() {
  local stat
  stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 0
  stat=${stat##*) }
  [ "${stat%% *}" = Z ]
}
stop_processes() {
  local pid
  for pid in "$@"; do kill "$pid" 2>/dev/null || true; done
  for pid in "$@"; do
    wait_for 10 process_gone "$pid" || kill -KILL "$pid" 2>/dev/null || true
  done
}

# install_missing PACKAGE...: installs the Debian packages not yet installed (with sudo when
# not root), so that a second run is quick and needs no network.
install_missing() {
  local package missing=()
  for package in "$@"; do
    if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
      missing+=("$package")
    fi
  done
  ((${#missing[@]} > 0)) || return 0
  local sudo_cmd=()
  if [ "$(id -u)" -ne 0 ] && command -v sudo >/dev/null; then sudo_cmd=(sudo); fi
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends \
    "${missing[@]}" >/dev/null
}

# build_package BUILD_DIR [cmake arguments...]: configures a build without the test suite
# under /usr with the flags Debian builds its packages with (dpkg-buildflags, every hardening
# feature on), builds it and writes BUILD_DIR/lumetta_<version>_<arch>.deb. Run from the top of
# the repository: dpkg-buildflags maps the current folder out of the debugging paths.
build_package() {
  local build_dir=$1
  shift
  local flag
  for flag in CFLAGS CXXFLAGS CPPFLAGS LDFLAGS; do
    export "$flag=$(DEB_BUILD_MAINT_OPTIONS=hardening=+all dpkg-buildflags --get "$flag")"
  done
  # CMake reads CXXFLAGS and LDFLAGS from the environment only into a new build folder and
  # never reads CPPFLAGS (where _FORTIFY_SOURCE is), so they are given outright.
  cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DCMAKE_INSTALL_PREFIX=/usr "-DCMAKE_CXX_FLAGS=$CPPFLAGS $CXXFLAGS" \
    "-DCMAKE_EXE_LINKER_FLAGS=$LDFLAGS" "$@" >/dev/null
  cmake --build "$build_dir" -j "$(nproc)"
  rm -f "$build_dir"/lumetta_*.deb
  (cd "$build_dir" && cpack -G DEB >/dev/null)
}
