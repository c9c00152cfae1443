#!/usr/bin/env bash
# Cross-builds the Windows tree with Debian's mingw-w64 (-Werror, static):
# the core, the Win32 services and the test programs that run under Wine.
#   scripts/build-windows.sh          build/win64, x86-64
#   scripts/build-windows.sh --i686   also the core and the Win32 services
#                                     for 32-bit Windows in build/win32-i686,
#                                     compile only: Debian's Wine has no
#                                     32-bit half to run them
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
flavours=(x86_64)
for arg in "$@"; do
  case "$arg" in
    --i686) flavours+=(i686) ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
  esac
done

"$root/scripts/install-deps.sh" windows

for flavour in "${flavours[@]}"; do
  targets=()
  case "$flavour" in
    x86_64) build="$root/build/win64" ;;
    i686) build="$root/build/win32-i686" targets=(--target ripwarden_core ripwarden_platform_win32) ;;
  esac
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$flavour.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRIPWARDEN_WERROR=ON >/dev/null
  cmake --build "$build" -j"$(nproc)" "${targets[@]}"
done
