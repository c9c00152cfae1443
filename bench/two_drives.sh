#!/usr/bin/env bash
# Two discs through two drives against one disc through one drive, twice:
# through the whole program with the real copier and encoder, copy first,
# from the discs going in (images appearing where SourceDrive points) to the
# last "Rip Complete!". The copies overlap; the encodes take turns.
# Prints one row of the benchmark table.
#   bench/two_drives.sh PROGRAM IMAGE WORK_FOLDER
set -euo pipefail

program=$1
image=$2
work=$3
mkdir -p "$work"
now() { date +%s.%N; }
# shellcheck source=bench/program_sandbox.sh
. "$(dirname "$0")/program_sandbox.sh"

# Seconds from putting COUNT discs in, one per watched drive, to the last
# of their rips being complete.
through() {
  local count=$1
  local home="$work/two-drives"
  local sources="" drive
  for drive in $(seq "$count"); do sources+="${sources:+|}$home/drive$drive.iso"; done
  start_program "$program" "$home" "$sources" 1
  for drive in $(seq "$count"); do cp -- "$image" "$home/drive$drive.partial"; done
  local start
  start=$(now)
  for drive in $(seq "$count"); do mv -- "$home/drive$drive.partial" "$home/drive$drive.iso"; done
  local complete=0 end=
  while IFS= read -r line; do
    [[ "$line" == *"Rip Complete!"* ]] && complete=$((complete + 1))
    if [ "$complete" -eq "$count" ]; then
      end=$(now)
      break
    fi
  done <"$home/said"
  stop_program
  [ -n "$end" ] || { echo "the rips never completed" >&2; exit 1; }
  awk -v a="$start" -v b="$end" 'BEGIN {printf "%.3f", b - a}'
}

one=$(through 1)
two=$(through 2)
ratio=$(awk -v a="$two" -v b="$one" 'BEGIN {printf "%.2f", a / (2 * b)}')
printf '| Two discs through two drives / one disc through one, twice (copy first, until the last "Rip Complete!") | %s (%s s) | %s s (one disc: %s s) | (figure only) | |\n' \
  "$ratio" "$two" "$(awk -v b="$one" 'BEGIN {printf "%.3f", 2 * b}')" "$one"
