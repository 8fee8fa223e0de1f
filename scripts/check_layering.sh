#!/usr/bin/env bash
# The program's logic lives in folders that build and test without the toolkit; only the
# edge (shell/, panel/) may use Qt. Fails, listing the offending lines, when a file in one of
# those folders includes a Qt header or a header of the edge.
set -euo pipefail
cd "$(dirname "$0")/.."

folders=()
for folder in src/settings src/quotes src/news src/net src/window src/services src/text; do
  if [ -d "$folder" ]; then folders+=("$folder"); fi
done
if ((${#folders[@]} == 0)); then
  echo "layering: ok (none of the Qt-free folders exists yet)"
  exit 0
fi

include='^[[:space:]]*#[[:space:]]*include[[:space:]]*(<(Q|qt)|"(shell|panel)/)'
status=0
offenders=$(grep -rnE "$include" "${folders[@]}") || status=$?
case "$status" in
  0)
    echo "layering: Qt or shell/panel headers included where the toolkit does not belong:" >&2
    printf '%s\n' "$offenders" >&2
    exit 1
    ;;
  1) echo "layering: ok (no Qt or shell/panel includes in ${folders[*]})" ;;
  *) echo "layering: could not read the sources" >&2; exit 2 ;;
esac
