#!/usr/bin/env bash
# Makes a short unencrypted PAL DVD image to rip in tests: a test pattern with
# a tone, authored as one title.
#   scripts/make-sample-dvd.sh OUT.iso SECONDS "LABEL"
#   scripts/make-sample-dvd.sh OUT/ SECONDS "LABEL"   the disc's folder (OUT/VIDEO_TS)
#                                                    instead of an image; OUT must not exist
#   scripts/make-sample-dvd.sh --series OUT.iso "LABEL"
#       a series disc instead: episodes of 12, 14 and 16 s (titles 1 to 3), each
#       with an English and a French soundtrack and an English subtitle; title 4
#       plays the three in a row and title 5 is episode 1 again, both over the
#       episodes' own cells, as series discs have them
# Quiet on success; on failure it says which step failed, shows that step's
# output and exits non-zero. OUT.iso appears whole or not at all.
set -euo pipefail

series=false
if [ $# -eq 3 ] && [ "$1" = --series ]; then
  series=true
  set -- "$2" 12 "$3"
elif [ $# -ne 3 ]; then
  echo "usage: $0 OUT.iso SECONDS LABEL" >&2
  echo "       $0 --series OUT.iso LABEL" >&2
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
for tool in ffmpeg dvdauthor spumux genisoimage; do
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

export VIDEO_FORMAT=PAL
if $series; then
  # A white bar for seconds 1 to 5 of each episode: one picture subtitle.
  step "drawing the subtitle" ffmpeg -nostdin -hide_banner -loglevel error \
    -f lavfi -i "color=c=white:s=320x48" -frames:v 1 -y "$work/subtitle.png"
  cat >"$work/subtitle.xml" <<EOF
<subpictures><stream><spu start="00:00:01.00" end="00:00:05.00" image="$work/subtitle.png"
  xoffset="200" yoffset="480"/></stream></subpictures>
EOF
  episode=0
  for spec in testsrc:12:440:660 smptebars:14:550:770 rgbtestsrc:16:330:880; do
    episode=$((episode + 1))
    IFS=: read -r pattern length english french <<<"$spec"
    step "encoding episode $episode" ffmpeg -nostdin -hide_banner -loglevel error \
      -f lavfi -i "$pattern=size=720x576:rate=25:duration=$length" \
      -f lavfi -i "sine=frequency=$english:sample_rate=48000:duration=$length" \
      -f lavfi -i "sine=frequency=$french:sample_rate=48000:duration=$length" \
      -map 0:v -map 1:a -map 2:a -target pal-dvd -aspect 4:3 -ac 2 -shortest -y "$work/plain$episode.mpg"
    step "adding the subtitle to episode $episode" \
      bash -c 'spumux -s 0 "$1" <"$2" >"$3"' spumux "$work/subtitle.xml" "$work/plain$episode.mpg" \
      "$work/episode$episode.mpg"
  done
  # dvdauthor writes a file named twice only once: titles 4 and 5 play the
  # episodes' own cells, not copies of them.
  cat >"$work/dvd.xml" <<EOF
<dvdauthor>
  <vmgm/>
  <titleset>
    <titles>
      <video format="pal" aspect="4:3"/>
      <audio lang="en"/>
      <audio lang="fr"/>
      <subpicture lang="en"/>
      <pgc><vob file="$work/episode1.mpg"/></pgc>
      <pgc><vob file="$work/episode2.mpg"/></pgc>
      <pgc><vob file="$work/episode3.mpg"/></pgc>
      <pgc><vob file="$work/episode1.mpg"/><vob file="$work/episode2.mpg"/><vob file="$work/episode3.mpg"/></pgc>
      <pgc><vob file="$work/episode1.mpg"/></pgc>
    </titles>
  </titleset>
</dvdauthor>
EOF
  step "authoring the episodes" dvdauthor -o "$work/dvd" -x "$work/dvd.xml"
else
  step "encoding the title" ffmpeg -nostdin -hide_banner -loglevel error \
    -f lavfi -i "testsrc=size=720x576:rate=25:duration=$seconds" \
    -f lavfi -i "sine=frequency=1000:sample_rate=48000:duration=$seconds" \
    -target pal-dvd -aspect 4:3 -ac 2 -shortest -y "$work/title.mpg"
  step "authoring the title" dvdauthor -o "$work/dvd" -t "$work/title.mpg"
  step "writing the table of contents" dvdauthor -o "$work/dvd" -T
fi
if [[ "$out" == */ ]]; then
  mv -- "$work/dvd" "${out%/}"
  exit 0
fi
step "writing the image" genisoimage -quiet -dvd-video -V "$label" -o "$partial" "$work/dvd"
chmod 644 "$partial"
mv -f -- "$partial" "$out"
