#!/usr/bin/env bash
# Builds the program (Release, in build/bench) and the benchmark tools (in
# build/bench/tools), then prints a table of figures, each measured beside its
# reference in the same run: what the program costs while idle, how soon its
# windows answer during a rip, how fast it takes encoder output, how long one
# turn of its loop lasts while a rip starts or stops, what it weighs,
# whether it slows the encoder, how fast its helper copies a disc, and how
# long a disc stays in the drive.
#   bench/run.sh                   the full measurement (about 3 minutes after the build)
#   BENCH_SECONDS=20 bench/run.sh  shorter and rougher (about 2.5 minutes): a 20 s idle
#                                  window and a 10 s sample title
# Finer knobs: BENCH_SECONDS (idle window, default 60), BENCH_DVD_SECONDS (sample
# title, default 20, or 10 when BENCH_SECONDS < 60), BENCH_RIPS (rips of each
# kind, default 3), BENCH_EVENTS (1000), BENCH_LINES (200000).
#   BENCH_BUILD=build/test-werror bench/run.sh
# measures the program as an existing build tree holds it (CI's test build,
# -O2 as Debian builds) instead of building it again in Release.
# The tools' own reports go to build/bench/bench.log.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
work="$root/build/bench"
tools="$work/tools"

"$root/scripts/install-deps.sh" bench
if [ -n "${BENCH_BUILD:-}" ]; then
  build=$(cd "$BENCH_BUILD" && pwd)
else
  build="$work"
  cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DRIPWARDEN_TESTS=OFF >/dev/null
fi
cmake --build "$build" -j"$(nproc)" --target ripwarden ripwarden_program ripwarden-helper >/dev/null
cmake -S "$root/bench" -B "$tools" -DCMAKE_BUILD_TYPE=Release -DRIPWARDEN_BUILD="$build" >/dev/null
cmake --build "$tools" -j"$(nproc)" >/dev/null

seconds=${BENCH_SECONDS:-60}
if [ "$seconds" -lt 60 ]; then dvd_seconds=${BENCH_DVD_SECONDS:-10}; else dvd_seconds=${BENCH_DVD_SECONDS:-20}; fi
rips=${BENCH_RIPS:-3}
export BENCH_SECONDS=$seconds

# The sample disc, made once per title length (and again when the script changes).
mkdir -p "$work"
image="$work/sample-${dvd_seconds}s.iso"
if [ ! -f "$image" ] || [ "$root/scripts/make-sample-dvd.sh" -nt "$image" ]; then
  "$root/scripts/make-sample-dvd.sh" "$image" "$dvd_seconds" "BENCH DVD"
fi
# The disc copy reads longer titles: a short one is copied in a blink, and on
# the 60 s one the time is still mostly the helper's start.
copy_images=()
for copy_seconds in 60 300; do
  copy_image="$work/sample-${copy_seconds}s.iso"
  if [ ! -f "$copy_image" ] || [ "$root/scripts/make-sample-dvd.sh" -nt "$copy_image" ]; then
    "$root/scripts/make-sample-dvd.sh" "$copy_image" "$copy_seconds" "BENCH DVD"
  fi
  copy_images+=("$copy_image")
done

program="$build/app/ripwarden"
assets="$root/tests/assets"
log="$work/bench.log"
: >"$log"
run() {
  if ! "$@" 2>>"$log"; then
    echo "failed: $*" >&2
    tail -n 40 "$log" >&2
    exit 1
  fi
}

echo "Ripwarden benchmarks, $(date -u '+%Y-%m-%d %H:%M UTC'), $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)," \
  "headless (offscreen), program from ${build#"$root"/}"
echo
echo "| figure | Ripwarden | reference, same run | goal | verdict |"
echo "|---|---|---|---|---|"
run "$tools/idle_cost" "$program" "$tools/reference_loop"
# Every watched drive is polled in the same wake-up: four cost what one does.
run env BENCH_DRIVES=4 "$tools/idle_cost" "$program" "$tools/reference_loop"
run "$tools/program_probe" responsiveness "$tools/fake_encoder" "$assets"
run "$tools/program_probe" throughput "$tools/fake_encoder" "$assets"
# The helper beside the tool, where the program would find it.
ln -sf "$build/app/ripwarden-helper" "$tools/ripwarden-helper"
run "$tools/turn_length" "$tools/fake_encoder" "$assets/handbrake-1.6.1/help.stdout" "$root/Data/Config" \
  "${copy_images[-1]}"
run "$tools/footprint" "$program" "$tools/program_probe" "$tools/reference_app" "$tools/fake_encoder" \
  "$assets/handbrake-1.6.1/help.stdout"
run "$tools/encoder_overhead" "$program" "$(command -v HandBrakeCLI)" "$image" "$rips"
for copy_image in "${copy_images[@]}"; do
  run "$root/bench/copy_speed.sh" "$build/app/ripwarden-helper" "$copy_image" "$work"
done
# The disc's time in the drive through the whole program, copy first and straight.
occupancy_runs=3
[ "$seconds" -ge 60 ] || occupancy_runs=1
run "$root/bench/occupancy.sh" "$program" "${copy_images[0]}" "$work" "$occupancy_runs"
run "$root/bench/two_drives.sh" "$program" "$image" "$work"
