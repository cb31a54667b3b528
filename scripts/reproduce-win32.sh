#!/usr/bin/env bash
# Builds the Windows downloads of the current commit twice, in two fresh clones in different folders one
# after the other, without the compiler cache and the second with another umask, and compares them byte for
# byte: quillon.scr, the zip and the installer must be the same. (makensis writes no time of its own: the
# installer's PE header is its prebuilt stub's, and the files inside keep the commit's time. A signed build
# is not reproducible: the signature holds the time of signing.)
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
for file in build/package-win32/host/win32/quillon.scr "out/quillon-$version-win64.zip" \
  "out/quillon-$version-setup.exe"; do
  if cmp -s "$one/$file" "$two/$file"; then
    echo "  same       $file ($(sha256sum <"$one/$file" | cut -c1-16)...)"
  else
    echo "  DIFFERENT  $file"
    status=1
  fi
done
[ "$status" = 0 ] && echo "reproduce-win32: quillon.scr, the zip and the installer are reproducible" ||
  echo "reproduce-win32: FAILED" >&2
exit "$status"
