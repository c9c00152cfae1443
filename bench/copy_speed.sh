#!/usr/bin/env bash
# Copies the same DVD image with the helper and with dvdbackup -M, best of
# RUNS each, and prints two rows of the benchmark table: both times, and
# their ratio against its goal. The helper flushes its files to the disk
# before it ends; dvdbackup does not, so its time includes a sync after it.
#   bench/copy_speed.sh HELPER IMAGE WORK_FOLDER [RUNS]
set -euo pipefail

helper=$1
image=$2
work=$3
runs=${4:-3}
command -v dvdbackup >/dev/null || { echo "dvdbackup is missing: run scripts/install-deps.sh bench" >&2; exit 1; }
mkdir -p "$work"
out="$work/copy-speed"

now() { date +%s.%N; }
# Seconds of the best of $runs runs of "$@", each into a fresh $out.
best() {
  local best=
  for _ in $(seq "$runs"); do
    rm -rf -- "$out"
    sync
    local start end
    start=$(now)
    "$@" >>"$work/copy-speed.log" 2>&1 || { echo "failed: $*" >&2; exit 1; }
    sync
    end=$(now)
    best=$(echo "$start $end ${best:-}" | awk '{t = $2 - $1; if ($3 == "" || t < $3) print t; else print $3}')
  done
  rm -rf -- "$out"
  echo "$best"
}

ours=$(best "$helper" copy "$image" "$out")
theirs=$(best dvdbackup -M -i "$image" -o "$out")
megabytes=$(du -m "$image" | cut -f1)
ratio=$(awk -v a="$ours" -v b="$theirs" 'BEGIN {printf "%.3f", a / b}')
verdict=$(awk -v r="$ratio" 'BEGIN {print (r <= 1.1 ? "met" : "not met")}')
printf '| Disc copy: wall time of a %s MB sample DVD image to a folder, best of %s (s) | %.3f | %.3f (dvdbackup -M, then sync) | (figure only) | |\n' \
  "$megabytes" "$runs" "$ours" "$theirs"
printf '| Disc copy: helper / dvdbackup wall time | %s | 1.000 | <= 1.1 | %s |\n' "$ratio" "$verdict"
