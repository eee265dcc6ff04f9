#!/usr/bin/env bash
# Runs a Windows program that makes windows under Wine (scripts/wine-run.sh) on a private Xvfb
# display of 1024x768, so that window tests need no X server of the user's. A wineserver left by
# programs that ran without a display would hand ours its display-less desktop: it is waited
# for first, and ours is waited for at the end for the same reason.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$PWD
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ -f "$dir/CMakeCache.txt" ] && export WINEPREFIX="$dir/wineprefix"
fi
wait_server() { [ -n "${WINEPREFIX:-}" ] && [ -d "$WINEPREFIX" ] && timeout 60 wineserver -w 2>/dev/null || true; }
wait_server
status=0
xvfb-run -a -s "-screen 0 1024x768x24" "$here/wine-run.sh" "$@" || status=$?
wait_server
exit $status
