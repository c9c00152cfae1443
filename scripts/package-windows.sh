#!/usr/bin/env bash
# Packs the Windows program that scripts/build-windows.sh built: an installer
# made with Debian's NSIS, and a zip for those who want none. Prints the two
# files' paths, the installer first.
#   scripts/package-windows.sh [build folder]    default build/win64
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$root/build/win64}
for exe in Ripwarden.exe RipwardenHelper.exe; do
  [ -f "$build/app/$exe" ] || { echo "no $build/app/$exe: run scripts/build-windows.sh first" >&2; exit 2; }
done
version=$(sed -n 's/^project(Ripwarden VERSION \([0-9.]*\).*/\1/p' "$root/CMakeLists.txt")

out="$build/package"
stage="$out/Ripwarden"
rm -rf "$out"
mkdir -p "$stage/Data/Config"
# Without the debugging sections: a tenth of the size.
x86_64-w64-mingw32-strip -o "$stage/Ripwarden.exe" "$build/app/Ripwarden.exe"
x86_64-w64-mingw32-strip -o "$stage/RipwardenHelper.exe" "$build/app/RipwardenHelper.exe"
cp "$root/platform/win32/Settings.cfg" "$root/Data/Config/Presets.cfg" "$stage/Data/Config/"
cp "$root/platform/win32/ripwarden.ico" "$out/"

setup="$out/Ripwarden-$version-setup.exe"
makensis -V2 -DVERSION="$version" -DSTAGE="$stage" -DOUTFILE="$setup" "$root/platform/win32/ripwarden.nsi" >&2
zip_file="$out/Ripwarden-$version-win64.zip"
(cd "$out" && zip -q -r -X "$zip_file" Ripwarden)
echo "$setup"
echo "$zip_file"
