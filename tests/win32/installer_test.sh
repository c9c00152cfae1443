#!/usr/bin/env bash
# The installer under Wine, silently (/S) as an administrator's script runs
# it: the program, its shipped defaults, the Start-menu entry and the
# uninstaller arrive; the silent uninstaller takes them away again and leaves
# each user's own settings.
#   tests/win32/installer_test.sh <setup.exe> [wine prefix]
set -euo pipefail

setup=$(realpath "$1")
root=$(cd "$(dirname "$0")/../.." && pwd)
export WINEPREFIX=${2:-$root/build/win64/installer-prefix} WINEARCH=win64 WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
wine=/usr/lib/wine/wine64
wineserver=/usr/lib/wine/wineserver
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
"$wineserver" -p
trap '"$wineserver" -k 2>/dev/null || true' EXIT
"$wine" wineboot -i >/dev/null 2>&1 || true

failures=0
check() {  # description, then a command that must succeed
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}

program="$WINEPREFIX/drive_c/Program Files/Ripwarden"
menu="$WINEPREFIX/drive_c/ProgramData/Microsoft/Windows/Start Menu/Programs/Ripwarden.lnk"
key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Ripwarden'
user_config="$WINEPREFIX/drive_c/users/$(id -un)/AppData/Roaming/Ripwarden/Data/Config"

"$wine" "$setup" /S
check "the program is installed" test -f "$program/Ripwarden.exe"
check "its helper program is installed beside it" test -f "$program/RipwardenHelper.exe"
check "the helper program runs there" \
  sh -c "'$wine' '$program/RipwardenHelper.exe' 2>/dev/null | grep -q '^Usage: '"
check "the shipped settings are installed" test -f "$program/Data/Config/Settings.cfg"
check "the shipped presets are installed" test -f "$program/Data/Config/Presets.cfg"
check "the uninstaller is installed" test -f "$program/Uninstall.exe"
check "the Start menu has an entry" test -f "$menu"
check "Windows lists it with its version" \
  sh -c "'$wine' reg query '$key' /v DisplayVersion 2>/dev/null | tr -d '\r' | grep -q 'REG_SZ *[0-9]'"

# A user has run it: their own settings live under %APPDATA%.
mkdir -p "$user_config"
printf '[Ripping]\r\nDestination = C:\\Rips\\\r\n' >"$user_config/Settings.cfg"

# The uninstaller copies itself away and runs from there: wait for it.
"$wine" "$program/Uninstall.exe" /S
for _ in $(seq 1 120); do
  [ -e "$program" ] || break
  sleep 0.5
done
check "the program folder is gone" test ! -e "$program"
check "the Start menu entry is gone" test ! -e "$menu"
check "Windows no longer lists it" sh -c "! '$wine' reg query '$key' >/dev/null 2>&1"
check "the user's settings stay" test -f "$user_config/Settings.cfg"

[ "$failures" -eq 0 ] && echo "installer: all checks passed"
[ "$failures" -eq 0 ]
