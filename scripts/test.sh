#!/usr/bin/env bash
# Installs what the tests need, builds, and runs every test.
#   scripts/test.sh              warnings shown
#   scripts/test.sh --werror     warnings are errors
#   scripts/test.sh --sanitize   AddressSanitizer + UndefinedBehaviorSanitizer
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
variant=default
options=()
for arg in "$@"; do
  case "$arg" in
    --werror) variant=werror; options+=(-DRIPWARDEN_WERROR=ON) ;;
    --sanitize) variant=sanitize; options+=(-DRIPWARDEN_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug) ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
  esac
done

"$root/scripts/install-deps.sh" test

build="$root/build/test-$variant"
cmake -S "$root" -B "$build" "${options[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
ctest --test-dir "$build" --output-on-failure -j"$(nproc)"
