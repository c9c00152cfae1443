#!/usr/bin/env bash
# Builds the Debian package from a release build for /usr and prints its
# path: build/package/ripwarden_VERSION_ARCH.deb. Install it with
#   sudo apt install ./build/package/ripwarden_*.deb
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" package >&2

build="$root/build/package"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DRIPWARDEN_TESTS=OFF \
  >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
rm -f -- "$build"/ripwarden_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
ls "$build"/ripwarden_*.deb
