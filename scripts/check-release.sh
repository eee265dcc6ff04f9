#!/usr/bin/env bash
# check-release.sh DEB ZIP VERSION  Checks the release packages as a user would meet them: the
# Debian package's files, fields and dependencies (apt-get's simulation), its norvpack run from
# an unpacked copy; the zip's files, each Windows program's --version under Wine (a private
# prefix, removed at the end), that the zip's norvpack.exe, with its own Setup.exe as the
# default stub, builds the example suite into the same bytes as the Debian norvpack does, and
# that the zip's norvinstall.exe installs that setup file.
set -euo pipefail
deb=$(realpath "$1") zip=$(realpath "$2") version=$3
here=$(cd "$(dirname "$0")" && pwd)
tmp=$(mktemp -d)
export WINEPREFIX=$tmp/wineprefix
cleanup() {
  wineserver -k 2>/dev/null || true
  rm -rf "$tmp"
}
trap cleanup EXIT
status=0
fail() { echo "check-release: $*" >&2; status=1; }
expect_line() {  # expect_line WHAT WANTED GOT
  [ "$2" = "$3" ] || fail "$1 gave '$3', not '$2'"
}

listing=$(dpkg-deb -c "$deb")
for path in ./usr/bin/norvpack ./usr/share/doc/norvpack/README.md; do
  grep -q " $path\$" <<<"$listing" || fail "$deb lacks $path"
done
expect_line "Package field" norvpack "$(dpkg-deb -f "$deb" Package)"
expect_line "Version field" "$version" "$(dpkg-deb -f "$deb" Version)"
depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libstdc++6 zlib1g; do
  grep -q "$lib" <<<"$depends" || fail "Depends ($depends) lacks $lib"
done
apt-get install -s "$deb" >"$tmp/apt.log" 2>&1 || fail "apt-get cannot install $deb: $(tail -3 "$tmp/apt.log")"
dpkg-deb -x "$deb" "$tmp/deb"
expect_line "the Debian norvpack --version" "norvpack $version" "$("$tmp/deb/usr/bin/norvpack" --version)"

unzip -q "$zip" -d "$tmp/zip"
dir=$tmp/zip/$(basename "$zip" .zip)
for file in Setup.exe norvinstall.exe skinview.exe norvpack.exe README.md examples/suite/suite.ini; do
  [ -f "$dir/$file" ] || fail "$zip lacks $file"
done
for program in norvinstall skinview norvpack; do
  got=$("$here/wine-run.sh" "$dir/$program.exe" --version | tr -d '\r')
  expect_line "$program.exe --version" "$program $version" "$got"
done
(cd "$dir" && "$here/wine-run.sh" norvpack.exe build examples\\suite -o Example.exe >"$tmp/build.log" 2>&1) ||
  fail "the zip's norvpack.exe could not build its example suite: $(tail -3 "$tmp/build.log")"
"$tmp/deb/usr/bin/norvpack" build "$dir/examples/suite" -o "$tmp/linux.exe" --stub "$dir/Setup.exe" >"$tmp/build.log" 2>&1 ||
  fail "the Debian norvpack could not build the zip's example suite: $(tail -3 "$tmp/build.log")"
cmp -s "$dir/Example.exe" "$tmp/linux.exe" || fail "the two norvpacks built different setup files"
(cd "$dir" && "$here/wine-run.sh" norvinstall.exe install Example.exe --folder 'C:\norvcheck' --quiet >"$tmp/install.log" 2>&1) ||
  fail "the zip's norvinstall.exe could not install the example: $(tail -3 "$tmp/install.log")"
# A packed file and a plain one: suite file (below files/Main/) and where it is installed.
for pair in bin/NorvFrame.exe:NorvFrame.exe doc/readme.txt:doc/readme.txt; do
  cmp -s "$dir/examples/suite/files/Main/${pair%%:*}" "$WINEPREFIX/drive_c/norvcheck/${pair#*:}" ||
    fail "the installed ${pair#*:} differs from the suite's ${pair%%:*}"
done

[ $status -eq 0 ] && echo "check-release: both packages hold what they should and answer version $version"
exit $status
