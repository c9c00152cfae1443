#!/usr/bin/env bash
# Builds the fuzz targets with clang's libFuzzer (AddressSanitizer and
# UndefinedBehaviorSanitizer) and runs each in turn.
#   scripts/fuzz.sh [seconds-per-target]      (default 60)
#   FUZZ_RUNS=n        stops each target after n executions (if sooner)
#   FUZZ_TARGETS="a b" runs only these targets
# Fails when any target crashes, leaks or breaks one of its checks; the input
# is kept as build/fuzz/<target>-crash-* (see tests/assets/fuzz for where
# such inputs go once the fault is mended).
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
runs=${FUZZ_RUNS:--1}
"$root/scripts/install-deps.sh" test

out="$root/build/fuzz"
cmake -S "$root/fuzz" -B "$out" -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$out" -j"$(nproc)" >/dev/null

assets="$root/tests/assets"
declare -A seeds=(
  [config_roundtrip]="$assets/config $root/Data/Config/Settings.cfg"
  [presets]="$root/Data/Config/Presets.cfg"
  [encoder_output]="$assets/handbrake-1.6.1 $assets/fuzz/encoder_output"
  [format_date]="$assets/fuzz/format_date"
  [file_name]="$assets/fuzz/file_name"
  [rip_record]="$assets/handbrake-1.6.1"
  [disc_scan]="$assets/handbrake-1.6.1/scan-series.out $assets/handbrake-1.6.1/scan-plain.out"
)
declare -A max_len=([config_roundtrip]=4096 [presets]=4096 [encoder_output]=4096 [format_date]=256 [file_name]=1024 [rip_record]=8192 [disc_scan]=32768)
targets=${FUZZ_TARGETS:-config_roundtrip presets encoder_output format_date file_name rip_record disc_scan}

# Freed memory is reused sooner and fresh memory left unfilled: the output
# target allocates a buffer per line and runs about half again as fast so,
# for a shorter watch on memory used after it was freed.
export ASAN_OPTIONS=${ASAN_OPTIONS:-quarantine_size_mb=16:max_malloc_fill_size=0}

failed=()
for target in $targets; do
  corpus="$out/corpus/$target"
  # libFuzzer reads its seeds from folders only.
  seed_folder="$out/seeds/$target"
  rm -rf "$seed_folder"
  mkdir -p "$corpus" "$seed_folder"
  # shellcheck disable=SC2086  # the seed list is meant to split into paths
  cp -r ${seeds[$target]} "$seed_folder/"
  log="$out/$target.log"
  start=$SECONDS
  if "$out/${target}_fuzzer" -artifact_prefix="$out/$target-" -max_total_time="$seconds" -runs="$runs" \
    -max_len="${max_len[$target]}" -print_final_stats=1 "$corpus" "$seed_folder" >"$log" 2>&1; then
    result=ok
  else
    result=FAILED
    failed+=("$target")
    grep -E 'ERROR|SUMMARY|runtime error|Test unit written' "$log" || tail -n 20 "$log"
  fi
  executions=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")
  printf '%-18s %-6s %10s executions in %4d s\n' "$target" "$result" "${executions:-?}" $((SECONDS - start))
done

if [ ${#failed[@]} -gt 0 ]; then
  echo "fuzzing failed: ${failed[*]} (logs in $out)" >&2
  exit 1
fi
