#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the layout xscreensaver relies on.
set -uo pipefail
prefix=$(mktemp -d /tmp/quillon-install.XXXXXX)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL (install): $*" >&2; exit 1; }
# has FILE LINE...: FILE holds each LINE (a regular expression).
has() { local file=$1 line; shift; for line; do grep -q -- "$line" "$file" || fail "$file lacks $line"; done; }

cmake --install "${1:?build directory}" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
hack=$prefix/libexec/xscreensaver/quillon
"$hack" --help | grep -q -- --root || fail "the installed hack does not run"
has "$prefix/share/xscreensaver/config/quillon.xml" '<screensaver name="quillon"' '<command arg="--root"/>' \
  'arg-unset="--no-mirrors"'
has "$prefix/share/applications/screensavers/quillon.desktop" "^Exec=$hack --root$" "^TryExec=$hack$" \
  '^Categories=Screensaver;$'
echo "PASS (install)"
