#!/usr/bin/env bash
# Builds the Debian package of the Linux saver from debian/ with dpkg-buildpackage and puts it in out/ (or
# OUT-DIR): quillon_<version>_amd64.deb (the xscreensaver hack, its settings page, desktop entry and man page)
# and its debug symbols, quillon-dbgsym_<version>_amd64.deb. Install it with: sudo apt install ./out/quillon_*.deb
#   scripts/package.sh [OUT-DIR]
# The build runs on a copy of the source in a temporary folder (under $TMPDIR), so build/ and out/ stay as they
# are: in a git checkout the last commit, otherwise the files as they are, without build/ and out/.
set -euo pipefail
cd "$(dirname "$0")/.."
out=$(realpath -m "${1:-out}")
start=$SECONDS

QUILLON_SKIP_WIN32=1 scripts/setup.sh
work=$(mktemp -d "${TMPDIR:-/tmp}/quillon-deb.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/source"
if [ "$(git rev-parse --show-toplevel 2>/dev/null)" = "$(pwd -P)" ]; then
  git archive HEAD | tar -x -C "$work/source"
  [ -z "$(git status --porcelain)" ] ||
    echo "package: built from commit $(git rev-parse --short HEAD); what is not committed is not in it"
else
  tar -c --exclude=./build --exclude=./out --exclude=./.git . | tar -x -C "$work/source"
fi
version=$(dpkg-parsechangelog -l "$work/source/debian/changelog" -S Version)
mv "$work/source" "$work/quillon-$version"

# A package is built from scratch, without the developer's compiler cache; -J2 as everywhere on this machine.
if ! (cd "$work/quillon-$version" &&
  env -u CMAKE_C_COMPILER_LAUNCHER -u CMAKE_CXX_COMPILER_LAUNCHER dpkg-buildpackage -us -uc -b -J2) \
  >"$work/build.log" 2>&1; then
  cat "$work/build.log" >&2
  echo "package: dpkg-buildpackage failed" >&2
  exit 1
fi
mkdir -p "$out"
rm -f "$out"/quillon_*.deb "$out"/quillon-dbgsym_*.deb
cp "$work"/*.deb "$out/"
echo "package: $out/$(cd "$work" && echo quillon_*.deb) in $((SECONDS - start)) s"
