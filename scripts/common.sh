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
