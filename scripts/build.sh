#!/usr/bin/env bash
# build.sh [host|windows|bench]...  Configures and builds the named trees (default: host windows).
#   build/host      native build with clang, AddressSanitizer, UBSan and libFuzzer targets
#   build/windows   64-bit Windows build with MinGW-w64; tests run under Wine
#   build/bench     native optimised build without sanitizers, for benchmarks
# BUILD_ROOT moves the trees elsewhere (default: build).
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
    bench)
      CC=clang CXX=clang++ cmake -S "$root" -B "$out/bench" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DNORV_SANITIZE=OFF -DNORV_FUZZ=OFF >/dev/null
      ;;
    *) echo "build.sh: unknown tree '$tree' (host, windows or bench)" >&2; exit 2 ;;
  esac
  echo "== building $tree"
  if [ "$tree" = bench ]; then
    cmake --build "$out/$tree" -j "$jobs" --target benchmarks norvpack
  else
    cmake --build "$out/$tree" -j "$jobs"
  fi
done
