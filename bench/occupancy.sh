#!/usr/bin/env bash
# How long the drive is busy with a disc: from the moment the disc goes in
# (the image appears where SourceDrive points) until it is free, through the
# whole program with the real encoder. Copy first, the disc is free when
# "DVD Copied" is shown; straight from the disc, when "Rip Complete!" is.
# The reference is dvdbackup -M copying the same image in the same run. The
# program finds a disc at its next drive poll (every 2.5 s), which a sample
# image copied in a blink cannot hide; so the time from the disc being found
# ("DVD Rip Started") to its being free is compared with dvdbackup as well.
# Prints four rows of the benchmark table. Mean of RUNS insertions each.
#   bench/occupancy.sh PROGRAM IMAGE WORK_FOLDER [RUNS]
set -euo pipefail

program=$1
image=$2
work=$3
runs=${4:-3}
command -v dvdbackup >/dev/null || { echo "dvdbackup is missing: run scripts/install-deps.sh bench" >&2; exit 1; }
mkdir -p "$work"
now() { date +%s.%N; }
# shellcheck source=bench/program_sandbox.sh
. "$(dirname "$0")/program_sandbox.sh"

# "SECONDS FOUND_SECONDS": from the insertion to the line saying the disc is
# free, and from the disc being found to that line; one run.
occupancy() {
  local copy_first=$1 free_line=$2
  local home="$work/occupancy"
  start_program "$program" "$home" "$home/drive.iso" "$copy_first"
  cp -- "$image" "$home/drive.partial"
  local start
  start=$(now)
  mv -- "$home/drive.partial" "$home/drive.iso"
  local end= found=
  while IFS= read -r line; do
    [[ "$line" == "DVD Rip Started"* && -z "$found" ]] && found=$(now)
    if [[ "$line" == "$free_line"* ]]; then
      end=$(now)
      break
    fi
  done <"$home/said"
  stop_program
  [ -n "$end" ] || { echo "the disc was never freed" >&2; exit 1; }
  awk -v a="$start" -v f="${found:-$start}" -v b="$end" 'BEGIN {printf "%.3f %.3f", b - a, b - f}'
}

# The means of both figures over $runs runs.
mean() {
  local total="0 0"
  for _ in $(seq "$runs"); do
    total=$(echo "$total $("$@")" | awk '{print $1 + $3, $2 + $4}')
  done
  echo "$total" | awk -v n="$runs" '{printf "%.3f %.3f\n", $1 / n, $2 / n}'
}

read -r copied copied_found < <(mean occupancy 1 "DVD Copied")
read -r direct _ < <(mean occupancy 0 "Rip Complete!")
rm -rf -- "$work/occupancy-backup"
start=$(now)
dvdbackup -M -i "$image" -o "$work/occupancy-backup" >/dev/null 2>&1
sync
end=$(now)
rm -rf -- "$work/occupancy-backup"
backup=$(awk -v a="$start" -v b="$end" 'BEGIN {printf "%.3f", b - a}')
megabytes=$(du -m "$image" | cut -f1)
verdict() { awk -v r="$1" 'BEGIN {print (r <= 1.1 ? "met" : "not met")}'; }
ratio=$(awk -v a="$copied" -v b="$backup" 'BEGIN {printf "%.2f", a / b}')
found_ratio=$(awk -v a="$copied_found" -v b="$backup" 'BEGIN {printf "%.2f", a / b}')
printf '| Disc occupancy, copy first: insertion until "DVD Copied", %s MB image, mean of %s (s) | %s (%s once found) | %s (dvdbackup -M, then sync) | (figure only) | |\n' \
  "$megabytes" "$runs" "$copied" "$copied_found" "$backup"
printf '| Disc occupancy, copy first / dvdbackup -M, from insertion | %s | 1.00 | <= 1.1 | %s |\n' "$ratio" "$(verdict "$ratio")"
printf '| Disc occupancy, copy first / dvdbackup -M, from the disc found | %s | 1.00 | <= 1.1 | %s |\n' "$found_ratio" \
  "$(verdict "$found_ratio")"
printf '| Disc occupancy, copy first / straight from the disc (until "Rip Complete!") | %s | %s s straight | (figure only) | |\n' \
  "$(awk -v a="$copied" -v b="$direct" 'BEGIN {printf "%.2f", a / b}')" "$direct"
