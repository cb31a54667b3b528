#!/usr/bin/env bash
# Installs the Debian packages the native build and its tests need; safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgl-dev libglu1-mesa-dev libosmesa6-dev libgl1-mesa-dri
  libjpeg62-turbo-dev libgtest-dev libpng-dev
  libx11-dev libxfixes-dev xvfb xdotool x11-utils x11-apps imagemagick
  # The fuzz targets: clang with libFuzzer, and apt-get source for the libjpeg-turbo they are built against.
  clang-14 libclang-rt-14-dev dpkg-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  echo "setup: installing ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Windows cross-build toolchain and Wine, when that part of the tree exists.
here=$(cd "$(dirname "$0")" && pwd)
if [ -x "$here/setup-win32.sh" ] && [ "${QUILLON_SKIP_WIN32:-0}" != 1 ]; then
  "$here/setup-win32.sh"
fi
