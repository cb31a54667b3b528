#!/usr/bin/env bash
# Builds the Windows downloads of the current commit twice, in two fresh clones in different folders one
# after the other, without the compiler cache and the second with another umask, and compares them byte for
# byte: quillon.scr and the zip must be the same. The installer is compared too and reported, not required.
# Usage: scripts/reproduce-win32.sh [WORK_DIR]   (the clones go to WORK_DIR, by default a temporary folder)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
work=${1:-$(mktemp -d)}
mkdir -p "$work"
work=$(cd "$work" && pwd)
one="$work/one" two="$work/second/folder"  # different paths, of different lengths
trap 'rm -rf "$one" "$work/second"' EXIT
deps=$(realpath build/win32-deps)
commit=$(git rev-parse HEAD)
[ -z "$(git status --porcelain)" ] || echo "reproduce-win32: note: uncommitted changes are not in the clones" >&2

build_in() {  # build_in <folder>: a clone of this commit, its downloads in <folder>/out
  rm -rf "$1"
  mkdir -p "$(dirname "$1")"
  git clone -q --no-checkout "$root" "$1"
  git -C "$1" checkout -q --detach "$commit"
  mkdir -p "$1/build" && ln -s "$deps" "$1/build/win32-deps"
  CCACHE_DISABLE=1 "$1/scripts/package-win32.sh" >/dev/null
  echo "reproduce-win32: built in $1 at $(date -u +%H:%M:%S)"
}
build_in "$one"
(umask 077 && build_in "$two")

status=0
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$one/build/package-win32/CMakeCache.txt")
compare() {  # compare <path inside a clone> <required: yes or no>
  if cmp -s "$one/$1" "$two/$1"; then
    echo "  same       $1 ($(sha256sum <"$one/$1" | cut -c1-16)...)"
  else
    echo "  DIFFERENT  $1"
    [ "$2" = no ] || status=1
  fi
}
compare build/package-win32/host/win32/quillon.scr yes
compare "out/quillon-$version-win64.zip" yes
compare "out/quillon-$version-setup.exe" no
[ "$status" = 0 ] && echo "reproduce-win32: quillon.scr and the zip are reproducible" ||
  echo "reproduce-win32: FAILED" >&2
exit "$status"
