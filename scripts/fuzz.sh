#!/usr/bin/env bash
# Builds the settings-format fuzzer with clang's libFuzzer and runs it.
#   scripts/fuzz.sh [seconds]   (default 60)
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
"$root/scripts/install-deps.sh" test

out="$root/build/fuzz"
mkdir -p "$out/corpus"
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=all \
  -I"$root" "$root/fuzz/config_roundtrip_fuzzer.cpp" "$root/config/config_format.cpp" \
  -o "$out/config_roundtrip_fuzzer"
cp "$root"/tests/assets/config/*.cfg "$out/corpus/" 2>/dev/null || true
"$out/config_roundtrip_fuzzer" -artifact_prefix="$out/" -max_total_time="$seconds" -max_len=4096 -print_final_stats=1 "$out/corpus" 2>&1 |
  tail -n 15
