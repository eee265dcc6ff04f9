#!/usr/bin/env bash
# Runs a Windows program under Wine in the build tree's own 64-bit prefix.
# The prefix is WINEPREFIX when set, else "wineprefix" beside the current build directory
# (ctest runs tests from inside the build tree). It is created on first use, under a lock so
# that parallel tests do not race to create it, and given its font settings (wine-fonts.sh).
set -euo pipefail
if [ -z "${WINEPREFIX:-}" ]; then
  dir=$PWD
  while [ "$dir" != / ] && [ ! -f "$dir/CMakeCache.txt" ]; do dir=$(dirname "$dir"); done
  [ -f "$dir/CMakeCache.txt" ] || { echo "wine-run: not inside a build tree and WINEPREFIX unset" >&2; exit 2; }
  export WINEPREFIX="$dir/wineprefix"
fi
export WINEARCH=win64
export WINEDEBUG=${WINEDEBUG:--all}
# Without winemenubuilder: Wine starts it for every shell link saved, and it opens the link's
# target (for its icon) while the next install may be replacing that file; it would also put
# each link into the host's menus.
export WINEDLLOVERRIDES=${WINEDLLOVERRIDES:-mscoree,mshtml=;winemenubuilder.exe=d}
here=$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)
if [ ! -f "$WINEPREFIX/system.reg" ] || ! "$here/wine-fonts.sh" --check; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
      wineboot -i >/dev/null 2>&1 || true
      wineserver -w
    fi
    # Chinese text in every face the skins and dialogs name (see wine-fonts.sh); without it
    # programs still run, with boxes for Chinese characters.
    "$here/wine-fonts.sh" || echo "wine-run: the prefix's font settings were not applied" >&2
  ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
