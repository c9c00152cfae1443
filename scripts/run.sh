#!/usr/bin/env bash
# Installs what Ripwarden needs, builds it, and starts it.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
"$root/scripts/install-deps.sh" run
build="$root/build/release"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DRIPWARDEN_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)"
if [ -x "$build/app/ripwarden" ]; then
  exec "$build/app/ripwarden"
fi
echo "Built the libraries in $build; the program itself is not there yet."
