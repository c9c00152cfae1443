#!/usr/bin/env bash
# Installs the Debian 12 packages Ripwarden needs.
#   scripts/install-deps.sh run    what building and running the program needs
#   scripts/install-deps.sh test   that, plus what the test suite needs
#   scripts/install-deps.sh bench  what building and running the program needs, plus
#                                  what bench/run.sh uses to make its sample DVD
set -euo pipefail

what=${1:-run}
# The encoder is what the program runs, so it comes with the program.
build=(cmake g++ make pkg-config libblkid-dev qt6-base-dev handbrake-cli)
tests=(libgtest-dev fonts-dejavu-core clang clang-format libclang-rt-14-dev genisoimage xorriso udftools ffmpeg dvdauthor
  xvfb xauth dbus trayer xdotool x11-utils)

bench=(ffmpeg dvdauthor genisoimage)

packages=("${build[@]}")
if [ "$what" = test ]; then packages+=("${tests[@]}"); fi
if [ "$what" = bench ]; then packages+=("${bench[@]}"); fi

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
