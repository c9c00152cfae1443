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
mkdir -p "$disc/VIDEO_TS"
: >"$disc/VIDEO_TS/VIDEO_TS.IFO"
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

[ ${#broken[@]} -eq 0 ] || echo "failed under Wine: ${broken[*]} (logs in $logs)"
echo "windows: $passed passed, $failed failed, $skipped skipped"
[ ${#broken[@]} -eq 0 ]
