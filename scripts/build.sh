#!/usr/bin/env bash
# build.sh [host|windows|bench|release]...  Configures and builds the named trees (default: host windows).
#   build/host      native build with clang, AddressSanitizer, UBSan and libFuzzer targets
#   build/windows   64-bit Windows build with MinGW-w64; tests run under Wine
#   build/bench     native optimised build without sanitizers, for benchmarks
#   build/release   native optimised build without sanitizers, of norvpack alone: the Debian
#                   package's (kept apart from bench, whose flags may suit one machine only)
# BUILD_ROOT moves the trees elsewhere (default: build). TARGETS="a b" builds only those targets.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${BUILD_ROOT:-$root/build}
trees=("$@")
[ ${#trees[@]} -gt 0 ] || trees=(host windows)
jobs=${JOBS:-$(nproc)}
for tree in "${trees[@]}"; do
  case $tree in
    host)
      CC=clang CXX=clang++ cmake -S "$root" -B "$out/host" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
      ;;
    windows)
      cmake -S "$root" -B "$out/windows" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" >/dev/null
      ;;
    bench|release)
      CC=clang CXX=clang++ cmake -S "$root" -B "$out/$tree" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DNORV_SANITIZE=OFF -DNORV_FUZZ=OFF >/dev/null
      ;;
    *) echo "build.sh: unknown tree '$tree' (host, windows, bench or release)" >&2; exit 2 ;;
  esac
  echo "== building $tree"
  targets=${TARGETS:-}
  case $tree in
    bench) targets=${targets:-benchmarks norvpack} ;;
    release) targets=${targets:-norvpack} ;;
  esac
  # shellcheck disable=SC2086  # the list is split on purpose
  cmake --build "$out/$tree" -j "$jobs" ${targets:+--target $targets}
done
