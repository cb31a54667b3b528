#!/usr/bin/env bash
# Installs the Debian packages the native build and its tests need; safe to run again.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config
  libgl-dev libglu1-mesa-dev libosmesa6-dev libgl1-mesa-dri
  libjpeg62-turbo-dev libgtest-dev libpng-dev
  libx11-dev libxfixes-dev libxtst-dev libxrandr-dev libxinerama-dev xvfb xserver-xephyr x11-xserver-utils xdotool
  x11-utils x11-apps imagemagick
  x11-xkb-utils procps dpkg-dev xscreensaver xsecurelock
  # The Debian package: dpkg-buildpackage with debhelper, then lintian on the result.
  debhelper lintian
  # The fuzz targets: clang with libFuzzer (dpkg-dev for apt-get source of the libjpeg-turbo they build against).
  clang-14 libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done

if [ ${#missing[@]} -gt 0 ]; then
  sudo_cmd=""; [ "$(id -u)" -ne 0 ] && sudo_cmd="sudo"
  if [ -n "$sudo_cmd" ] && ! command -v sudo >/dev/null; then
    echo "setup: these Debian packages are missing: ${missing[*]}" >&2
    echo "setup: installing them needs root, and sudo is not installed. Run this script as root" >&2
    echo "setup: (su -c '$0'), or install them yourself as root: apt-get install ${missing[*]}" >&2
    exit 1
  fi
  echo "setup: installing ${missing[*]}"
  $sudo_cmd apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $sudo_cmd apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

# The Windows cross-build toolchain and Wine, when that part of the tree exists.
here=$(cd "$(dirname "$0")" && pwd)
if [ -x "$here/setup-win32.sh" ] && [ "${QUILLON_SKIP_WIN32:-0}" != 1 ]; then
  "$here/setup-win32.sh"
fi
