#!/usr/bin/env bash
# Cross-builds the Windows tree with Debian's mingw-w64 (-Werror, static):
# the core, the Win32 services, the helper program and the test programs that
# run under Wine.
#   scripts/build-windows.sh          build/win64, x86-64
#   scripts/build-windows.sh --i686   also the core and the Win32 services
#                                     for 32-bit Windows in build/win32-i686,
#                                     compile only: Debian's Wine has no
#                                     32-bit half to run them
# The helper program links libdvdread and libavformat, built once from
# Debian's source packages into build/win64-deps/prefix.
set -euo pipefail

root=$(cd "$(dirname "$0")/.." && pwd)
flavours=(x86_64)
for arg in "$@"; do
  case "$arg" in
    --i686) flavours+=(i686) ;;
    *) echo "unknown option: $arg" >&2; exit 2 ;;
  esac
done

"$root/scripts/install-deps.sh" windows

deps="$root/build/win64-deps"
prefix="$deps/prefix"
host=x86_64-w64-mingw32
jobs=2
sudo=()
[ "$(id -u)" -eq 0 ] || sudo=(sudo)

# apt-get source needs deb-src entries: the same archives as the deb ones.
ensure_deb_src() {
  [ -n "$(apt-cache showsrc libdvdread 2>/dev/null)" ] && return
  if ! grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && ! grep -qs '^deb-src ' /etc/apt/sources.list; then
    sed -n 's/^Types: deb$/Types: deb-src/p; /^\(URIs\|Suites\|Components\|Signed-By\):/p; /^$/p' \
      /etc/apt/sources.list.d/debian.sources | "${sudo[@]}" tee /etc/apt/sources.list.d/debian-src.sources >/dev/null
  fi
  "${sudo[@]}" apt-get update -q >&2
}

# Unpacks Debian's source package $1 (with Debian's patches) into a folder
# named after its whole version, Debian's revision included, and prints the
# source tree's path.
fetch_source() {
  local package=$1 version
  version=$(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -V | tail -n1)
  local folder="$deps/src/$package-${version#*:}"
  if [ ! -d "$folder" ]; then
    rm -rf "$folder.partial"
    mkdir -p "$folder.partial"
    (cd "$folder.partial" && apt-get source -q "$package=$version" >&2)
    mv "$folder.partial" "$folder"
  fi
  find "$folder" -mindepth 1 -maxdepth 1 -type d
}

# Builds Debian's source package $1 with its configure script and the options
# that follow into $prefix. A stamp names the source version and the options:
# a new version or changed options build the library again.
build_library() {
  local package=$1 source version recipe
  shift
  ensure_deb_src
  source=$(fetch_source "$package")
  version=$(basename "$(dirname "$source")")
  recipe="$version $(echo "$*" | md5sum | cut -c1-12)"
  [ "$(cat "$prefix/.$package.stamp" 2>/dev/null)" = "$recipe" ] && return
  local start=$SECONDS
  rm -rf "${deps:?}/$package"
  mkdir -p "$deps/$package"
  (cd "$deps/$package" && "$source/configure" --prefix="$prefix" "$@" && make -j$jobs && make install) \
    >"$deps/$package.log" 2>&1 || { tail -n 30 "$deps/$package.log" >&2; exit 1; }
  echo "$recipe" >"$prefix/.$package.stamp"
  echo "$package $version: built in $((SECONDS - start)) s" >&2
}

# Without libdvdcss at build time: libdvdread loads it at run time when the
# user has it, and reads unencrypted discs without.
build_library libdvdread --host=$host CC=$host-gcc-posix \
  --enable-static --disable-shared --disable-apidoc --without-libdvdcss
# Only what reads an MP4's or an MKV's own length from a file: no assembler
# (no nasm), nothing found on the build machine.
build_library ffmpeg --enable-cross-compile --target-os=mingw32 --arch=x86_64 \
  --cross-prefix=$host- --cc=$host-gcc-posix --cxx=$host-g++-posix --pkg-config=pkg-config \
  --enable-static --disable-shared --disable-autodetect --disable-everything --disable-programs \
  --disable-doc --disable-network --disable-asm --disable-debug \
  --disable-avdevice --disable-avfilter --disable-swscale --disable-swresample --disable-postproc \
  --enable-demuxer=mov,matroska --enable-protocol=file

for flavour in "${flavours[@]}"; do
  targets=()
  options=()
  case "$flavour" in
    x86_64) build="$root/build/win64" options=(-DRIPWARDEN_WIN64_DEPS="$prefix") ;;
    i686) build="$root/build/win32-i686" targets=(--target ripwarden_core ripwarden_platform_win32) ;;
  esac
  cmake -S "$root" -B "$build" -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-$flavour.cmake" \
    -DCMAKE_BUILD_TYPE=RelWithDebInfo -DRIPWARDEN_WERROR=ON "${options[@]}" >/dev/null
  cmake --build "$build" -j"$(nproc)" "${targets[@]}"
done
