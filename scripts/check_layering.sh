#!/usr/bin/env bash
# The program's logic lives in folders that build and test without the toolkit; only the edge,
# src/shell/, may use Qt. Fails, listing the offending lines, when a file in any other folder
# of src/ includes a Qt header or a header of the edge, or when a file of the edge other than
# the panel itself and the program includes the panel's header (each feature object gets what
# it needs through its constructor).
set -euo pipefail
cd "$(dirname "$0")/.."

folders=()
for folder in src/*/; do
  folder=${folder%/}
  if [ "$folder" != src/shell ]; then folders+=("$folder"); fi
done

# grep's status: 0 found, 1 none, anything else an unreadable tree.
check() {
  local what=$1 pattern=$2
  shift 2
  local status=0 offenders
  offenders=$(grep -rnE "$pattern" "$@") || status=$?
  case "$status" in
    0)
      echo "layering: $what:" >&2
      printf '%s\n' "$offenders" >&2
      return 1
      ;;
    1) return 0 ;;
    *) echo "layering: could not read the sources" >&2; exit 2 ;;
  esac
}

failed=0
check "Qt or shell headers included where the toolkit does not belong" \
  '^[[:space:]]*#[[:space:]]*include[[:space:]]*(<(Q|qt)|"shell/)' "${folders[@]}" || failed=1
mapfile -t edge < <(find src/shell -name '*.h' -o -name '*.cpp' | grep -vE '/(mini|main)\.(h|cpp)$')
check "a feature of the panel includes the panel itself" \
  '^[[:space:]]*#[[:space:]]*include[[:space:]]*"shell/mini\.h"' "${edge[@]}" || failed=1
if ((failed)); then exit 1; fi
echo "layering: ok (no Qt or shell includes in ${folders[*]}; no feature includes shell/mini.h)"
