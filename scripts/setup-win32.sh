#!/usr/bin/env bash
# Installs the Windows cross toolchain and Wine, and cross-builds libjpeg-turbo and GoogleTest for
# mingw-w64 into build/win32-deps (skipped when already there); safe to run again.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
deps="$root/build/win32-deps"
prefix="$deps/prefix"
toolchain="$root/cmake/mingw-w64.cmake"

sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"

packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
  wine wine64 fonts-wine xvfb xserver-xephyr xdotool x11-utils x11-apps imagemagick
  cmake ninja-build dpkg-dev googletest
  # The downloads (scripts/package-win32.sh): the installer, signing, the zip, and the test certificate.
  nsis osslsigncode zip openssl
  # Wine's OpenGL (Mesa's llvmpipe) and the X extensions its display driver loads at run time.
  libgl1 libglx-mesa0 libgl1-mesa-dri libxcomposite1 libxcursor1 libxfixes3 libxi6 libxinerama1
  libxrandr2 libxrender1 libxxf86vm1
)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup-win32: installing ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# Source packages: add deb-src twins of the machine's own sources, in a file of our own.
enable_deb_src() {
  grep -rqs '^Types:.*deb-src' /etc/apt/sources.list.d/ && return 0
  grep -rqs '^deb-src ' /etc/apt/sources.list /etc/apt/sources.list.d/ && return 0
  local src=/etc/apt/sources.list.d/debian.sources
  if [ -f "$src" ]; then
    sed -e 's/^Types:.*/Types: deb-src/' "$src" | $sudo_cmd tee /etc/apt/sources.list.d/quillon-deb-src.sources >/dev/null
  elif grep -qs '^deb ' /etc/apt/sources.list; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list | $sudo_cmd tee /etc/apt/sources.list.d/quillon-deb-src.list >/dev/null
  else
    echo "setup-win32: no apt source to derive a deb-src entry from" >&2
    return 1
  fi
  $sudo_cmd apt-get update -qq
}

build_libjpeg() {
  [ -f "$prefix/lib/libjpeg.a" ] && [ -f "$prefix/include/jpeglib.h" ] && return 0
  enable_deb_src
  mkdir -p "$deps/src"
  ( cd "$deps/src"
    ls -d libjpeg-turbo-*/ >/dev/null 2>&1 || apt-get source -qq libjpeg-turbo >/dev/null )
  local src
  src=$(ls -d "$deps"/src/libjpeg-turbo-*/ | head -n1)
  cmake -S "$src" -B "$deps/libjpeg-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
    -DENABLE_SHARED=OFF -DENABLE_STATIC=ON -DWITH_SIMD=OFF -DWITH_TURBOJPEG=OFF -DWITH_JPEG8=OFF -Wno-dev >/dev/null
  cmake --build "$deps/libjpeg-build" -j2 --target jpeg-static >/dev/null
  mkdir -p "$prefix/lib" "$prefix/include"
  cp "$deps/libjpeg-build/libjpeg.a" "$prefix/lib/libjpeg.a"
  cp "$deps/libjpeg-build/jconfig.h" "$src/jpeglib.h" "$src/jmorecfg.h" "$src/jerror.h" "$prefix/include/"
}

build_googletest() {
  [ -f "$prefix/lib/libgtest.a" ] && [ -d "$prefix/lib/cmake/GTest" ] && return 0
  cmake -S /usr/src/googletest -B "$deps/googletest-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
    -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" -DBUILD_GMOCK=OFF \
    -Dgtest_disable_pthreads=OFF >/dev/null
  cmake --build "$deps/googletest-build" -j2 >/dev/null
  cmake --install "$deps/googletest-build" >/dev/null
}

build_libjpeg
build_googletest
echo "setup-win32: toolchain, Wine and $prefix ready"
