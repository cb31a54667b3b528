#!/usr/bin/env bash
# Installs the build into a scratch prefix and checks the layout xscreensaver relies on.
set -uo pipefail
build=${1:?build directory}
prefix=$(mktemp -d /tmp/quillon-install.XXXXXX)
trap 'rm -rf "$prefix"' EXIT
fail() { echo "FAIL (install): $*" >&2; exit 1; }

cmake --install "$build" --prefix "$prefix" >/dev/null || fail "cmake --install failed"
hack=$prefix/libexec/xscreensaver/quillon
xml=$prefix/share/xscreensaver/config/quillon.xml
entry=$prefix/share/applications/screensavers/quillon.desktop
[ -x "$hack" ] || fail "no executable at $hack"
"$hack" --help | grep -q -- --root || fail "the installed hack does not run"
grep -q '<screensaver name="quillon"' "$xml" || fail "$xml names no quillon screensaver"
grep -q '<command arg="--root"/>' "$xml" || fail "$xml does not start it with --root"
grep -q 'arg-unset="--no-mirrors"' "$xml" || fail "$xml lacks the mirror setting"
"$hack" --no-mirrors /x || fail "the option the mirror setting passes is not accepted"
grep -qx "Exec=$hack --root" "$entry" || fail "the desktop entry does not start $hack --root"
grep -qx "TryExec=$hack" "$entry" || fail "the desktop entry has no TryExec"
grep -qx 'Categories=Screensaver;' "$entry" || fail "the desktop entry is not in the Screensaver category"
echo "PASS (install)"
