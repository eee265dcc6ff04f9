#!/usr/bin/env bash
# check-layers.sh [ROOT]  Fails when a source file includes a header of a layer above its own, or
# when portable code includes <windows.h>. Layers, lowest first:
#   base platform app package engine net ui
# Only src/platform/win/ and files ending in "_win.cpp" or "_win.h" may include <windows.h>.
set -euo pipefail
root=${1:-$(cd "$(dirname "$0")/.." && pwd)}
cd "$root"
layers=(base platform app package engine net ui)
rank() {
  local i
  for i in "${!layers[@]}"; do
    [ "${layers[$i]}" = "$1" ] && { echo "$i"; return; }
  done
  echo -1
}
status=0
while IFS= read -r file; do
  own=$(rank "$(echo "$file" | cut -d/ -f2)")
  while IFS=: read -r line target; do
    dir=${target%%/*}
    theirs=$(rank "$dir")
    if [ "$theirs" -gt "$own" ]; then
      echo "$file:$line: includes \"$target\": the $dir layer lies above this one" >&2
      status=1
    fi
  done < <(grep -n '^[[:space:]]*#[[:space:]]*include[[:space:]]*"' "$file" |
           sed -E 's/^([0-9]+):[[:space:]]*#[[:space:]]*include[[:space:]]*"([^"]+)".*/\1:\2/')
  case $file in
    src/platform/win/*|*_win.cpp|*_win.h) ;;
    *)
      if grep -qE '^[[:space:]]*#[[:space:]]*include[[:space:]]*<windows\.h>' "$file"; then
        echo "$file: portable code includes <windows.h>" >&2
        status=1
      fi
      ;;
  esac
done < <(find src -name '*.h' -o -name '*.cpp' | sort)
[ $status -eq 0 ] && echo "layers: every include points down or across"
exit $status
