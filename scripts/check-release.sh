#!/usr/bin/env bash
# check-release.sh DEB ZIP VERSION  Checks the packages as a user meets them: the Debian package
# installs (apt-get's simulation) and its norvpack runs; under Wine (a private prefix) the zip's
# programs build and install its example suite, built the same by the Debian norvpack.
set -euo pipefail
deb=$(realpath "$1") zip=$(realpath "$2") version=$3
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
export WINEPREFIX=$tmp/wineprefix
trap 'wineserver -k 2>/dev/null || true; rm -rf "$tmp"' EXIT
fail() { echo "check-release: $*" >&2; [ -f "$tmp/log" ] && tail -3 "$tmp/log" >&2; exit 1; }

[ "$(dpkg-deb -f "$deb" Package Version)" = $'Package: norvpack\nVersion: '"$version" ] || fail "$deb: wrong fields"
apt-get install -s "$deb" >"$tmp/log" 2>&1 || fail "apt-get cannot install $deb"
dpkg-deb -x "$deb" "$tmp/deb"
[ "$("$tmp/deb/usr/bin/norvpack" --version)" = "norvpack $version" ] || fail "the Debian norvpack's --version"

unzip -q "$zip" -d "$tmp" && cd "$tmp/$(basename "$zip" .zip)" && [ -f README.md ] && [ -f skinview.exe ] ||
  fail "$zip lacks README.md or skinview.exe"
"$here/wine-run.sh" norvpack.exe build 'examples\suite' -o Example.exe >"$tmp/log" 2>&1 || fail "norvpack.exe build"
"$tmp/deb/usr/bin/norvpack" build examples/suite -o "$tmp/Linux.exe" --stub Setup.exe >"$tmp/log" 2>&1 || fail "norvpack build"
cmp -s Example.exe "$tmp/Linux.exe" || fail "the two norvpacks built different setup files"
"$here/wine-run.sh" norvinstall.exe install Example.exe --folder 'C:\norvcheck' --quiet >"$tmp/log" 2>&1 || fail "norvinstall.exe install"
# NorvFrame.exe is carried packed.
cmp -s examples/suite/files/Main/bin/NorvFrame.exe "$WINEPREFIX/drive_c/norvcheck/NorvFrame.exe" || fail "installed NorvFrame.exe"
echo "check-release: both packages hold what they should and answer version $version"
