#!/usr/bin/env bash
# Checks the Debian package: its control data and dependencies, that it
# holds what a user needs, lintian's verdict and, with --install (as root,
# on a machine that may be changed, such as CI), that apt installs it and
# the installed program starts and stops on SIGTERM.
#   package_test.sh [--install] ripwarden_VERSION_ARCH.deb
set -euo pipefail

install=
if [ "${1:-}" = --install ]; then
  install=yes
  shift
fi
deb=$(realpath "$1")
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

field() { dpkg-deb --field "$deb" "$1"; }
[ "$(field Package)" = ripwarden ] || fail "the package is called '$(field Package)'"
dpkg-deb --fsys-tarfile "$deb" | tar -xO ./usr/share/doc/ripwarden/changelog.gz | gunzip | sed -n 1p >"$work/changed"
grep -q "^ripwarden ($(field Version)) " "$work/changed" || fail "the change log's last entry is $(cat "$work/changed")"
depends=$(field Depends)
# The encoder is run, not linked, so only the package can say it is needed;
# the libraries come from what the program links.
for needed in handbrake-cli libqt6widgets6 libqt6dbus6 libblkid1 libdvdread8 libavformat59; do
  [[ ",$depends," =~ [,\ ]$needed[\ ,] ]] || fail "Depends lacks $needed: $depends"
done

dpkg-deb --contents "$deb" | awk '{print $6}' | sed 's|^\./|/|' >"$work/files"
for file in /usr/bin/ripwarden /usr/libexec/ripwarden/ripwarden-helper /usr/share/applications/ripwarden.desktop \
  /usr/share/metainfo/org.ripwarden.Ripwarden.metainfo.xml /usr/share/icons/hicolor/48x48/apps/ripwarden.png \
  /usr/share/icons/hicolor/256x256/apps/ripwarden.png /usr/share/ripwarden/Data/Config/Settings.cfg \
  /usr/share/ripwarden/Data/Config/Presets.cfg /usr/share/doc/ripwarden/copyright \
  /usr/share/doc/ripwarden/changelog.gz; do
  grep -qx "$file" "$work/files" || fail "$file is not in the package"
done
grep -v -e '^/usr/' -e '^/$' "$work/files" && fail "files outside /usr"

# Errors fail; warnings (such as a missing manual page) are shown.
lintian --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || true
cat "$work/lintian"
grep -q '^E:' "$work/lintian" && fail "lintian found errors"

if [ -n "$install" ]; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb" >"$work/apt" 2>&1 || fail "apt: $(cat "$work/apt")"
  [ "$(command -v ripwarden)" = /usr/bin/ripwarden ] || fail "the installed program is not /usr/bin/ripwarden"
  # Run without arguments, the helper only says how to use it: its libraries load.
  helper_status=0
  /usr/libexec/ripwarden/ripwarden-helper >"$work/helper" 2>&1 || helper_status=$?
  [ "$helper_status" = 64 ] || fail "the installed helper ended with $helper_status: $(cat "$work/helper")"
  home="$work/home"
  mkdir -p "$home/runtime"
  chmod 700 "$home/runtime"
  env HOME="$home" XDG_RUNTIME_DIR="$home/runtime" RIPWARDEN_HOME="$home/ripwarden" QT_QPA_PLATFORM=offscreen \
    DBUS_SESSION_BUS_ADDRESS="unix:path=$home/no-bus" /usr/bin/ripwarden >"$work/stdout" 2>"$work/stderr" &
  pid=$!
  # A first start copies the defaults the package ships.
  for _ in $(seq 200); do
    [ -s "$home/ripwarden/Data/Config/Settings.cfg" ] && break
    kill -0 "$pid" 2>/dev/null || fail "the program ended at start: $(cat "$work/stderr")"
    sleep 0.1
  done
  cmp -s "$home/ripwarden/Data/Config/Presets.cfg" /usr/share/ripwarden/Data/Config/Presets.cfg ||
    fail "the installed defaults were not copied"
  sleep 1
  kill -TERM "$pid"
  status=0
  wait "$pid" || status=$?
  pid=
  [ "$status" = 0 ] || fail "the program ended with $status on SIGTERM: $(cat "$work/stderr")"
fi
echo "the package's control data, contents and lintian's verdict are as expected${install:+; it installs and starts}"
