#!/usr/bin/env bash
# release.sh  Builds the release packages into build/packages/, checks them (check-release.sh)
# and prints their names and sizes:
#   norvpack_<version>_<arch>.deb     norvpack for Debian, from the unsanitised tree build/release
#   norv-setup-<version>-win64.zip    Setup.exe, norvinstall.exe, skinview.exe, norvpack.exe, the
#                                     README and the example suite, from build/windows
# The version is the one of project() in the root CMakeLists.txt.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_ROOT:-$root/build}
packages=$out/packages
export JOBS=${JOBS:-2}
"$root/scripts/build.sh" release
TARGETS="setup norvinstall skinview norvpack" "$root/scripts/build.sh" windows
rm -rf "$packages"
mkdir -p "$packages"
for tree in release windows; do
  echo "== packaging $tree"
  (cd "$out/$tree" && cpack -B "$packages" >cpack.log 2>&1) || { cat "$out/$tree/cpack.log" >&2; exit 1; }
done
rm -rf "$packages/_CPack_Packages"
version=$(sed -n 's/^#define NORV_VERSION_STRING "\(.*\)"$/\1/p' "$out/release/generated/norv_version.h")
deb=$(ls "$packages"/norvpack_"$version"_*.deb)
zip=$packages/norv-setup-$version-win64.zip
"$root/scripts/check-release.sh" "$deb" "$zip" "$version"
for package in "$deb" "$zip"; do
  printf '%-60s %10s bytes\n' "$package" "$(stat -c %s "$package")"
done
