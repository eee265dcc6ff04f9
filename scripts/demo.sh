#!/usr/bin/env bash
# The main job: builds the installer's libraries and the packaging tool, packages the example
# suite into a setup file with norvpack (on Linux and, under Wine, with the Windows build), and
# shows what the setup file carries. The suite's main program and core DLL are the stand-ins the
# Windows build makes (a real windowed NorvFrame.exe, a real COM DLL), copied over the committed
# placeholder bytes in a staged copy of the suite.
# Then it installs the suite with the real Setup.exe under Wine on a private Xvfb display: it clicks
# through every page, saves a screenshot of each in docs/screenshots/setup-*.png, and prints what
# was installed (files, registry values, links, the programs started).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_ROOT:-$root/build}
"$root/scripts/install-deps.sh"
"$root/scripts/build.sh" host windows

norvpack="$out/host/tools/norvpack/norvpack"
stub="$out/windows/tools/norvpack/Setup.exe"
demo="$out/demo"
mkdir -p "$demo"

suite="$demo/suite"
rm -rf "$suite"
cp -r "$root/examples/suite" "$suite"
cp "$out/windows/tests/NorvFrame.exe" "$suite/files/Main/bin/NorvFrame.exe"
cp "$out/windows/tests/NorvCom.dll" "$suite/files/Main/bin/NorvCore.dll"

echo
echo "== packaging examples/suite (with the stand-in programs) with $stub as the stub"
"$norvpack" build "$suite" -o "$demo/Setup-example.exe" --stub "$stub" --package-out "$demo/NorvClient.pkg"
"$norvpack" build "$suite" -o "$demo/Setup-example-download.exe" --stub "$stub" --download-only

echo
echo "== the same build by norvpack.exe under Wine"
(cd "$out/windows" && "$root/scripts/wine-run.sh" tools/norvpack/norvpack.exe build \
  "Z:$suite" -o "Z:$demo/Setup-example-wine.exe" --stub "Z:$stub")
if cmp -s "$demo/Setup-example.exe" "$demo/Setup-example-wine.exe"; then
  echo "identical to the Linux build"
else
  echo "differs from the Linux build" >&2
  exit 1
fi

echo
echo "== what the setup file carries"
"$norvpack" inspect "$demo/Setup-example.exe"

echo
echo "== installing it with Setup.exe under Wine (a download-type setup file, so that every page shows)"
python3 "$root/scripts/demo_wizard.py" "$out" "$demo" "$root/docs/screenshots"

echo
echo "Produced:"
for f in "$norvpack" "$out/windows/tools/norvpack/norvpack.exe" "$demo"/*.exe "$demo"/*.pkg; do
  [ -f "$f" ] && printf '  %-60s %10d bytes\n' "${f#$root/}" "$(stat -c %s "$f")"
done
