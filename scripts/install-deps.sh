#!/usr/bin/env bash
# Installs the Debian 12 packages Ripwarden needs.
#   scripts/install-deps.sh run    what building and running the program needs
#   scripts/install-deps.sh demo   that, plus what making the demo disc needs
#   scripts/install-deps.sh test   that, plus what the test suite needs
#   scripts/install-deps.sh bench  the same as demo: the benchmarks rip a sample DVD too
#   scripts/install-deps.sh package  what building and checking the Debian package needs
#   scripts/install-deps.sh windows  what cross-building for Windows and testing under Wine needs
set -euo pipefail

what=${1:-run}
# The encoder is what the program runs, so it comes with the program.
build=(cmake g++ make pkg-config libblkid-dev libavformat-dev libdvdread-dev qt6-base-dev handbrake-cli
  nlohmann-json3-dev)
demo=(ffmpeg dvdauthor genisoimage dvdbackup)
tests=(libgtest-dev desktop-file-utils fonts-dejavu-core clang clang-format libclang-rt-14-dev xorriso udftools
  xvfb xauth dbus trayer xdotool x11-utils appstream)
# dpkg-shlibdeps (dpkg-dev) works out the package's library dependencies
# for CPack, which looks at the program with file.
package=(dpkg-dev file lintian appstream)
# GoogleTest comes as sources, built with the cross compiler; so do libdvdread
# and FFmpeg, fetched with apt-get source (dpkg-dev) and found with pkg-config.
# The Wine CD-ROM drive holds a small DVD made with ffmpeg and dvdauthor.
# nlohmann/json has no compiled part: the cross build takes Debian's headers.
windows=(cmake make g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix googletest dpkg-dev pkg-config xz-utils
  wine64 xvfb xauth nsis zip ffmpeg dvdauthor nlohmann-json3-dev)

packages=("${build[@]}")
case "$what" in
  run) ;;
  demo | bench) packages+=("${demo[@]}") ;;
  test) packages+=("${demo[@]}" "${tests[@]}") ;;
  package) packages+=("${package[@]}") ;;
  # The Windows tree builds with its own compiler and no Qt.
  windows) packages=("${windows[@]}") ;;
  *) echo "usage: $0 run|demo|bench|test|package|windows" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)
export DEBIAN_FRONTEND=noninteractive
"${sudo[@]}" apt-get update -q
"${sudo[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
