#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks what a user gets:
# the installed tree, a valid desktop entry and software-centre entry, theme
# icons of the sizes they claim, and a first start of the installed program with an empty
# configuration folder making the user's copy of the defaults.
#   install_test.sh BUILD_DIR PROJECT_VERSION
set -euo pipefail

build=$1
version=$2
work=$(mktemp -d)
pid=
cleanup() {
  [ -n "$pid" ] && kill -KILL "$pid" 2>/dev/null
  rm -rf -- "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*" >&2
  exit 1
}

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

for file in bin/ripwarden share/ripwarden/Data/Config/Settings.cfg share/ripwarden/Data/Config/Presets.cfg \
  share/applications/ripwarden.desktop; do
  [ -s "$prefix/$file" ] || fail "$file is not installed"
done
[ -x "$prefix/bin/ripwarden" ] || fail "the program is not executable"
shipped_version=$(tr -d '\r' <"$prefix/share/ripwarden/Data/Config/Settings.cfg" | sed -n 's/^Version = //p')
[ "$shipped_version" = "$version" ] || fail "the shipped settings say version '$shipped_version', the project $version"
desktop-file-validate "$prefix/share/applications/ripwarden.desktop" || fail "the desktop entry is not valid"
grep -qx 'Categories=AudioVideo;Video;' "$prefix/share/applications/ripwarden.desktop" ||
  fail "the desktop entry's categories"

metainfo="$prefix/share/metainfo/org.ripwarden.Ripwarden.metainfo.xml"
[ -s "$metainfo" ] || fail "the AppStream metainfo is not installed"
appstreamcli validate --no-net "$metainfo" || fail "the AppStream metainfo is not valid"
launched=$(sed -n 's|.*<launchable type="desktop-id">\(.*\)</launchable>.*|\1|p' "$metainfo")
[ -s "$prefix/share/applications/$launched" ] || fail "the metainfo launches '$launched', which is not installed"
released=$(sed -n 's|.*<release version="\([^"]*\)".*|\1|p' "$metainfo" | head -n1)
[ "$released" = "$version" ] || fail "the metainfo's newest release is '$released', the project $version"

# A PNG's header holds its width and height at bytes 16 to 23.
for size in 16 22 24 32 48 64 128 256; do
  icon="$prefix/share/icons/hicolor/${size}x${size}/apps/ripwarden.png"
  [ -s "$icon" ] || fail "no ${size}x${size} icon"
  [ "$(head -c 8 "$icon" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a ] || fail "$icon is not a PNG"
  read -r width height < <(od -An -tu4 --endian=big -j16 -N8 "$icon")
  [ "$width" = "$size" ] && [ "$height" = "$size" ] || fail "$icon is ${width}x${height}"
done

# A mark in the installed presets shows that the user's copy comes from this
# tree and not from the source folder the build knows.
echo "Installed Mark=x264/1234/aac/128" >>"$prefix/share/ripwarden/Data/Config/Presets.cfg"

user="$work/user"
mkdir -p "$user/config" "$user/runtime"
chmod 700 "$user/runtime"
env -u RIPWARDEN_HOME HOME="$user" XDG_CONFIG_HOME="$user/config" XDG_RUNTIME_DIR="$user/runtime" \
  QT_QPA_PLATFORM=offscreen "$prefix/bin/ripwarden" >"$work/stdout" 2>"$work/stderr" &
pid=$!
settings="$user/config/ripwarden/Data/Config/Settings.cfg"
# Line ends are whatever the program writes; compare the text.
setting() { tr -d '\r' <"$settings" | sed -n "s/^$1 = //p"; }
for _ in $(seq 200); do
  [ -f "$settings" ] && [ -n "$(setting Destination)" ] && break
  kill -0 "$pid" 2>/dev/null || fail "the program ended at start: $(cat "$work/stderr")"
  sleep 0.1
done
[ "$(setting Destination)" = "$user/Videos/" ] || fail "no videos folder in the settings: $(cat "$settings")"
[ -d "$user/Videos" ] || fail "the videos folder was not made"
grep -q '^Installed Mark=' "$user/config/ripwarden/Data/Config/Presets.cfg" ||
  fail "the presets were not copied from the installed tree"
location=$(setting Location)
[ -x "$location" ] || fail "the encoder location '$location' is not a program"
"$location" --version >/dev/null 2>&1 || fail "the encoder at '$location' does not run"

kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=
[ "$status" = 0 ] || fail "the program ended with $status on SIGTERM: $(cat "$work/stderr")"
echo "installed tree, desktop entry, icons and first start are as expected"
