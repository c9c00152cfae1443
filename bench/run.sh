#!/usr/bin/env bash
# Builds the program (Release, in build/bench) and the benchmark tools (in
# build/bench/tools), then prints what the program costs while idle.
#   bench/run.sh                   measures for 60 s
#   BENCH_SECONDS=20 bench/run.sh  a shorter, rougher measurement
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build="$root/build/bench"

"$root/scripts/install-deps.sh" run
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DRIPWARDEN_TESTS=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" --target ripwarden >/dev/null
cmake -S "$root/bench" -B "$build/tools" -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build "$build/tools" -j"$(nproc)" >/dev/null

"$build/tools/idle_cost" "$build/app/ripwarden" "$build/tools/reference_loop"
