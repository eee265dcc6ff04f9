#!/usr/bin/env bash
# Installs the Debian packages the project needs when they are missing. Safe to run again.
set -euo pipefail

packages=(
  # host build, sanitizers and fuzzers
  cmake ninja-build g++ clang libclang-rt-14-dev zlib1g-dev googletest
  # Windows build
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  libz-mingw-w64-dev
  # running and looking at Windows programs
  wine wine64 xvfb xauth x11-utils x11-xserver-utils xdotool imagemagick fonts-wqy-microhei
  # servers and clients the network tests and benchmarks use
  nginx-light curl python3
  # the install benchmark's baseline installer
  nsis
  # release packages: the Debian package's dependencies (dpkg-shlibdeps) and the zip's check
  dpkg-dev unzip
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  echo "install-deps: everything is installed"
  exit 0
fi
echo "install-deps: installing ${missing[*]}"
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
