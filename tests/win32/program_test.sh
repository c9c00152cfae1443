#!/usr/bin/env bash
# Ripwarden.exe under Wine, started as a user would: Wine CD-ROM drives R:
# and S: over folders holding small DVDs' VIDEO_TS, both watched, AutoRip and
# copy first on, and the stand-in encoder .exe. Both discs are copied by
# RipwardenHelper.exe, the first taken out while its copy is encoded, and
# both rips still complete and write their files; a second copy says
# "Already Running" and ends with code 0 while the first runs on. Last, the idle loop's wakeups are measured (a
# figure, never a failure).
#   tests/win32/program_test.sh [build folder]    default build/win64
set -euo pipefail

root=$(cd "$(dirname "$0")/../.." && pwd)
build=$(realpath "${1:-$root/build/win64}")
export WINEPREFIX="$build/program-prefix" WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
probe=("$wine" "$build/tests/win32/window_probe.exe")
work=$(mktemp -d)
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"

xvfb_pid=
if [ -z "${DISPLAY:-}" ]; then
  display=:$((100 + $$ % 400))
  Xvfb "$display" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  export DISPLAY=$display
  sleep 1
fi
"$wineserver" -p
cleanup() {
  "$wineserver" -k 2>/dev/null || true
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null || true
  rm -rf -- "$work"
}
trap cleanup EXIT
"$wine" wineboot -i >/dev/null 2>&1 || true
# A crash ends the program at once, as on a desktop nobody watches: with a
# display, Wine's crash dialog would wait for a click that never comes.
"$wine" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f >/dev/null 2>&1

failures=0
check() {  # description, then a command that must succeed
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
windows_path() { echo "Z:${1//\//\\}"; }

# The discs: folders with a DVD's VIDEO_TS, seen by Windows as CD-ROM drives R: and S:.
mkdir -p "$work/rips" "$work/home/Data/Config"
"$root/scripts/make-sample-dvd.sh" "$work/disc/" 2 "MY MOVIE"
printf 'MY MOVIE\n' >"$work/disc/.windows-label"
cp -r "$work/disc" "$work/second"
printf 'SECOND DISC\n' >"$work/second/.windows-label"
ln -s "$work/disc" "$WINEPREFIX/dosdevices/r:"
ln -s "$work/second" "$WINEPREFIX/dosdevices/s:"
"$wine" reg add 'HKLM\Software\Wine\Drives' /v 'r:' /t REG_SZ /d cdrom /f >/dev/null 2>&1
"$wine" reg add 'HKLM\Software\Wine\Drives' /v 's:' /t REG_SZ /d cdrom /f >/dev/null 2>&1
# The drive's type is read when the session starts.
"$wineserver" -k 2>/dev/null || true
"$wineserver" -p

cat >"$work/encoder.script" <<SCRIPT
record $(windows_path "$work/encoder.record")
write Encoding: task 1 of 1, 50.00 %\r
sleep 3000
write Encoding: task 1 of 1, 100.00 %\r\n
output-copy $(windows_path "$root/tests/assets/media/ten-seconds.mp4")
exit 0
SCRIPT
printf '[Ripping]\r\nSourceDrive = R|S\r\nDestination = %s\\\r\nFileContainer = MP4\r\nEncoding = H.264 Standard (1500 kb/s)\r\nTwoPass = 0\r\nAudioBooster = 0\r\nCopyFirst = 1\r\n[Other]\r\nStartUp = 0\r\nStartMinimised = 1\r\nAutoRip = 1\r\nEjectOnFinish = 0\r\nClearHandBrakeOutput = 0\r\n[HandBrake]\r\nLocation = %s\r\n[Application]\r\nVersion = 0.1.0\r\n' \
  "$(windows_path "$work/rips")" "$(windows_path "$build/tests/helpers/fake_encoder.exe")" \
  >"$work/home/Data/Config/Settings.cfg"
cp "$root/Data/Config/Presets.cfg" "$work/home/Data/Config/"
export RIPWARDEN_HOME RIPWARDEN_FAKE_ENCODER_SCRIPT
RIPWARDEN_HOME=$(windows_path "$work/home")
RIPWARDEN_FAKE_ENCODER_SCRIPT=$(windows_path "$work/encoder.script")

"$wine" "$build/app/Ripwarden.exe" &
first=$!
check "the program starts, its windows hidden" "${probe[@]}" wait "Progress - Ripwarden" 30
check "each drive's disc shows" "${probe[@]}" wait-text "Progress - Ripwarden" 2 "R: MY MOVIE; S: SECOND DISC" 20
check "the copy is encoded" "${probe[@]}" wait-text "Progress - Ripwarden" 7 "50.00%" 30
# Taken out: the rip no longer needs the disc.
mv "$work/disc" "$work/disc-out"
check "a rip completes" "${probe[@]}" wait-text "Progress - Ripwarden" 7 "COMPLETE!" 30
finished() { [ "$(find "$work/rips" -name '*).MP4' -size +0 | wc -l)" -eq 2 ]; }
for _ in $(seq 60); do finished && break; sleep 1; done
check "both discs were ripped, each once" finished
check "the encoder read a copy" grep -q -a 'State\\copies\\' "$work/encoder.record"
check "the copies were deleted" test -z "$(ls -A "$work/home/State/copies")"
mv "$work/disc-out" "$work/disc"

"$wine" "$build/app/Ripwarden.exe" &
second=$!
check "a second copy says so" "${probe[@]}" wait "Already Running" 30
check "in the words it should" \
  sh -c "'$wine' '$build/tests/win32/window_probe.exe' text 'Already Running' 65535 | grep -q 'Ripwarden is already running'"
"${probe[@]}" press "Already Running" 1 || true
second_status=0
wait "$second" || second_status=$?
check "the second copy ends with code 0" test "$second_status" -eq 0
check "the first copy runs on" kill -0 "$first"
"$wineserver" -k 2>/dev/null || true
wait "$first" 2>/dev/null || true

# The idle loop, alone in a fresh session, with no disc to watch.
"$wineserver" -p
idle_home="$work/idle"
mkdir -p "$idle_home/Data/Config"
sed -e 's/^SourceDrive = .*/SourceDrive = Q\r/' "$work/home/Data/Config/Settings.cfg" >"$idle_home/Data/Config/Settings.cfg"
RIPWARDEN_HOME=$(windows_path "$idle_home") "$wine" "$build/tests/win32/win32_idle_wakeups.exe" "${IDLE_SECONDS:-20}" || true

[ "$failures" -eq 0 ] && echo "program: all checks passed"
[ "$failures" -eq 0 ]
