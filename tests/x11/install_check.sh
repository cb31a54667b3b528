#!/usr/bin/env bash
# Installs the build into a scratch prefix (install_manifest.txt must list every file), then into INSTALL-ROOT
# as the Debian package does (prefix /usr, stripped; the xscreensaver end-to-end test runs the hack from there)
# and checks the layout and what xscreensaver reads. install_check.sh BUILD-DIR INSTALL-ROOT
set -uo pipefail
build=${1:?build directory} root=${2:?install root}
work=$(mktemp -d /tmp/quillon-install.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL (install): $*" >&2; exit 1; }
# has FILE LINE...: FILE holds each LINE (a regular expression).
has() { local file=$1 line; shift; for line; do grep -q -- "$line" "$file" || fail "$file lacks $line"; done; }

cmake --install "$build" --prefix "$work/prefix" >/dev/null || fail "cmake --install failed"
diff <(sort "$build/install_manifest.txt") <(find "$work/prefix" -type f | sort) || fail "the manifest is incomplete"

rm -rf "$root"
DESTDIR=$root cmake --install "$build" --prefix /usr --strip >/dev/null || fail "cmake --install to $root failed"
hack=/usr/libexec/xscreensaver/quillon xml=$root/usr/share/xscreensaver/config/quillon.xml
"$root$hack" --help >"$work/help" || fail "the installed hack does not run"
zcat "$root/usr/share/man/man6/quillon.6.gz" | sed 's/\\-/-/g' >"$work/man"
# Every option of --help is in the man page; every option the settings page passes is one of them.
options=$(grep -o -- ' --[a-z-]*' "$work/help"; grep -o '"--[a-z-]*"' "$xml" | tr -d '"')
for option in $options; do
  has "$work/man" "$option" && has "$work/help" "$option"
done
has "$xml" '<command arg="--root"/>' 'arg-set="--mirrors" arg-unset="--no-mirrors"'
description=$(sed -n '/<_description>/,/<\/_description>/{s/ *<[^>]*> *//;p}' "$xml" | tr -s '\n ' '  ')
description=${description# } description=${description% }
has "$root/usr/share/applications/screensavers/quillon.desktop" "^Exec=$hack --root$" "^TryExec=$hack$" \
  "^Comment=$description$"
echo "PASS (install)"
