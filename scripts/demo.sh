#!/usr/bin/env bash
# The main job: builds the installer and the packaging tool and says what was produced.
# (It will package the example suite and install it under Wine once the installer can.)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_ROOT:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" host windows
echo
echo "Produced:"
for f in "$out/host/tools/norvpack/norvpack" "$out/windows/tools/norvpack/norvpack.exe" "$out/windows/src/Setup.exe"; do
  [ -f "$f" ] && printf '  %-60s %10d bytes\n' "${f#$root/}" "$(stat -c %s "$f")"
done
echo
"$out/host/tools/norvpack/norvpack" --help || true
