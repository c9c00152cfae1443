#!/usr/bin/env bash
# Runs the Windows test programs that scripts/build-windows.sh built, each
# once, under Wine: a private prefix in the build folder, one wineserver kept
# for the whole run (a start then costs well under a second, not seven). The
# programs are console programs: Wine needs no display for them.
#   scripts/test-windows.sh [build folder]    default build/win64
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win64}
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
list="$build/windows-tests.txt"
[ -f "$list" ] || { echo "no $list: run scripts/build-windows.sh first" >&2; exit 2; }

export WINEPREFIX="$build/wine-prefix" WINEARCH=win64 WINEDEBUG=-all
# No Mono or Gecko: nothing here needs them, and asking for them would wait on a dialog.
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$WINEPREFIX"
logs="$build/test-logs"
rm -rf "$logs"
mkdir -p "$logs"

# The window tests draw on a display: a private Xvfb when there is none.
xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
  display=:$((100 + $$ % 400))
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=$display
  sleep 1
fi
# A new prefix is made on the first start; the CD-ROM drive below, a
# folder holding a disc's VIDEO_TS labelled as Wine labels a drive, is only
# seen by a Wine started after it is set up.
"$wine" wineboot -i >/dev/null 2>&1 || true
disc="$build/wine-disc"
# A real small DVD, unencrypted, made once: the helper program copies it.
if [ ! -f "$disc/VIDEO_TS/VTS_01_1.VOB" ]; then
  rm -rf "$disc"
  ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=720x576:rate=25:duration=2 \
    -f lavfi -i sine=frequency=1000:sample_rate=48000:duration=2 -target pal-dvd -aspect 4:3 -ac 2 \
    -shortest -y "$build/wine-disc.mpg"
  VIDEO_FORMAT=PAL dvdauthor -o "$disc" -t "$build/wine-disc.mpg" >"$logs/wine-disc.log" 2>&1
  VIDEO_FORMAT=PAL dvdauthor -o "$disc" -T >>"$logs/wine-disc.log" 2>&1
  rm -f "$build/wine-disc.mpg"
fi
printf 'MY MOVIE' >"$disc/.windows-label"
ln -sfn "$disc" "$WINEPREFIX/dosdevices/r:"
"$wine" reg add 'HKLM\Software\Wine\Drives' /v r: /d cdrom /f >/dev/null 2>&1
export RIPWARDEN_TEST_CDROM=R
# A network share, \\localhost\ripwarden: Wine takes \\server\share for the
# folder dosdevices/unc/server/share (Windows' \\localhost\C$ it has not).
share="$build/wine-share"
mkdir -p "$share" "$WINEPREFIX/dosdevices/unc/localhost"
ln -sfn "$share" "$WINEPREFIX/dosdevices/unc/localhost/ripwarden"
export RIPWARDEN_TEST_SHARE='\\localhost\ripwarden'
# A crash ends the program at once, as on a desktop nobody watches: with a
# display, Wine's crash dialog would wait for a click that never comes.
"$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1
# Until everything the first start began has finished; then one server for the tests.
"$wineserver" -w
"$wineserver" -p
trap '"$wineserver" -k 2>/dev/null || true; [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true' EXIT

passed=0
failed=0
skipped=0
broken=()
while read -r program; do
  [ -n "$program" ] || continue
  name=$(basename "$program" .exe)
  status=0
  (cd "$(dirname "$program")" && timeout 900 "$wine" "$program" --gtest_color=no) >"$logs/$name.log" 2>&1 || status=$?
  ok=$(sed -n 's/^\[  PASSED  \] \([0-9]*\) tests\?\..*/\1/p' "$logs/$name.log" | tail -n1)
  bad=$(sed -n 's/^\[  FAILED  \] \([0-9]*\) tests\?, listed below:.*/\1/p' "$logs/$name.log" | tail -n1)
  skip=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\?, listed below:.*/\1/p' "$logs/$name.log" | tail -n1)
  passed=$((passed + ${ok:-0}))
  skipped=$((skipped + ${skip:-0}))
  failed=$((failed + ${bad:-0}))
  if [ "$status" -ne 0 ] || [ -z "$ok" ]; then
    broken+=("$name")
    echo "$name: FAILED (exit $status)"
    grep -E '^\[  FAILED  \]|Failure|error' "$logs/$name.log" | head -n 40 || true
  else
    echo "$name: ${ok} passed${skip:+, $skip skipped}"
  fi
done <"$list"

# The helper program, run as the tray program runs it: the disc in drive R:
# copied whole into a folder whose name the ANSI code page cannot hold, and a
# finished file's own length, which a cut file lacks.
helper_checks=0
helper_failures=0
check() {  # description, then a command that must succeed
  local what=$1
  shift
  helper_checks=$((helper_checks + 1))
  if "$@"; then return; fi
  echo "RipwardenHelper: FAILED: $what"
  helper_failures=$((helper_failures + 1))
}
helper() {  # name of the run, then the arguments; output in $logs/helper-NAME.out
  local run=$1
  shift
  echo 0 >"$logs/helper-$run.status"
  "$wine" "$build/app/RipwardenHelper.exe" "$@" >"$logs/helper-$run.out" 2>"$logs/helper-$run.err" ||
    echo $? >"$logs/helper-$run.status"
}
status_is() { [ "$(cat "$logs/helper-$1.status")" = "$2" ]; }
no_carriage_return() { ! grep -q $'\r' "$1"; }
media="$build/helper-test"
rm -rf "$media"
mkdir -p "$media"
copy="$media/копия"
helper copy copy R: "Z:${copy//\//\\}"
disc_bytes=$(cat "$disc"/VIDEO_TS/* | wc -c)
check "the copy of drive R: ends with code 0" status_is copy 0
check "the copy says its size first" test "$(sed -n 1p "$logs/helper-copy.out")" = "Size: $disc_bytes"
check "the copy's last line counts every byte" \
  test "$(tail -n1 "$logs/helper-copy.out")" = "Copied: $disc_bytes bytes, 0 unreadable blocks skipped"
check "the copy's lines end in a bare line feed" no_carriage_return "$logs/helper-copy.out"
check "the copy holds every file of the disc, byte for byte" diff -r "$disc/VIDEO_TS" "$copy/VIDEO_TS"
ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=64x48:rate=5:duration=3 -c:v mpeg4 -y "$media/three.mp4"
ffmpeg -nostdin -loglevel error -f lavfi -i testsrc=size=64x48:rate=5:duration=2 -c:v mpeg4 -y "$media/two.mkv"
head -c 4000 "$media/three.mp4" >"$media/cut.mp4"
helper mp4 duration "Z:${media//\//\\}\\three.mp4"
check "an MP4's length" test "$(cat "$logs/helper-mp4.out")" = "Duration: 3.000"
helper mkv duration "Z:${media//\//\\}\\two.mkv"
check "an MKV's length" test "$(cat "$logs/helper-mkv.out")" = "Duration: 2.000"
helper cut duration "Z:${media//\//\\}\\cut.mp4"
check "a cut file has none" status_is cut 1
check "and says why" grep -q '^Error: ' "$logs/helper-cut.out"
if [ "$helper_failures" -eq 0 ]; then
  echo "RipwardenHelper: $helper_checks passed"
else
  broken+=(RipwardenHelper)
fi
passed=$((passed + helper_checks - helper_failures))
failed=$((failed + helper_failures))

[ ${#broken[@]} -eq 0 ] || echo "failed under Wine: ${broken[*]} (logs in $logs)"
echo "windows: $passed passed, $failed failed, $skipped skipped"
[ ${#broken[@]} -eq 0 ]
