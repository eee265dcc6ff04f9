#!/usr/bin/env bash
# The project's test command: installs what is missing, builds both trees and runs every test
# (host tests under ASan/UBSan, short fuzz runs, Windows tests under Wine).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_ROOT:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" host windows
status=0
echo "== host tests"
ctest --test-dir "$out/host" --output-on-failure -j "${JOBS:-2}" || status=1
echo "== Windows tests under Wine"
# One program at a time: several of them change the same machine-wide registry values
# (InstallPath, PendingFileRenameOperations) in the shared prefix and restore them afterwards.
ctest --test-dir "$out/windows" --output-on-failure -j 1 || status=1
WINEPREFIX="$out/windows/wineprefix" wineserver -k 2>/dev/null || true
exit $status
