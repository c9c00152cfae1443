#!/usr/bin/env bash
# Makes a short unencrypted PAL DVD image to rip in tests: a test pattern with
# a tone, authored as one title.
#   scripts/make-sample-dvd.sh OUT.iso SECONDS "LABEL"
#   scripts/make-sample-dvd.sh OUT/ SECONDS "LABEL"   the disc's folder (OUT/VIDEO_TS)
#                                                    instead of an image; OUT must not exist
# Quiet on success; on failure it says which step failed, shows that step's
# output and exits non-zero. OUT.iso appears whole or not at all.
set -euo pipefail

if [ $# -ne 3 ]; then
  echo "usage: $0 OUT.iso SECONDS LABEL" >&2
  exit 2
fi
out=$1
seconds=$2
label=$3

if ! [[ "$seconds" =~ ^[1-9][0-9]{0,3}$ ]]; then
  echo "$0: SECONDS must be a whole number from 1 to 9999, not '$seconds'" >&2
  exit 2
fi
# The volume label of a DVD holds at most 32 bytes; genisoimage would only warn.
if [ -z "$label" ] || [ "$(printf %s "$label" | LC_ALL=C wc -c)" -gt 32 ]; then
  echo "$0: LABEL must be 1 to 32 bytes, not '$label'" >&2
  exit 2
fi
for tool in ffmpeg dvdauthor genisoimage; do
  if ! command -v "$tool" >/dev/null; then
    echo "$0: $tool is missing: run scripts/install-deps.sh test" >&2
    exit 1
  fi
done

out_dir=$(dirname -- "$out")
if [ ! -d "$out_dir" ]; then
  echo "$0: folder $out_dir does not exist" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/sample-dvd.XXXXXX")
# Beside OUT so that the final rename stays on one file system.
partial=$(mktemp "$out_dir/.$(basename -- "$out").XXXXXX")
trap 'rm -rf -- "$work" "$partial"' EXIT

step() {
  local what=$1
  shift
  if ! "$@" >"$work/log" 2>&1; then
    echo "$0: $what failed: $*" >&2
    cat "$work/log" >&2
    exit 1
  fi
}

step "encoding the title" ffmpeg -nostdin -hide_banner -loglevel error \
  -f lavfi -i "testsrc=size=720x576:rate=25:duration=$seconds" \
  -f lavfi -i "sine=frequency=1000:sample_rate=48000:duration=$seconds" \
  -target pal-dvd -aspect 4:3 -ac 2 -shortest -y "$work/title.mpg"
export VIDEO_FORMAT=PAL
step "authoring the title" dvdauthor -o "$work/dvd" -t "$work/title.mpg"
step "writing the table of contents" dvdauthor -o "$work/dvd" -T
if [[ "$out" == */ ]]; then
  mv -- "$work/dvd" "${out%/}"
  exit 0
fi
step "writing the image" genisoimage -quiet -dvd-video -V "$label" -o "$partial" "$work/dvd"
chmod 644 "$partial"
mv -f -- "$partial" "$out"
