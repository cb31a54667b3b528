#!/usr/bin/env bash
# The Debian package as scripts/package.sh builds it with dpkg-buildpackage from the last commit. Built twice, in
# folders of different depths, time zones a day apart and different umasks, one after the other: both builds
# must give byte-identical packages with no trace of the build folder. Then what the package holds, its
# relations, the one version everywhere, its copyright file against LICENSE, and lintian with no error and no
# warning. package_test.sh (from anywhere; scripts/test.sh runs it)
set -uo pipefail
cd "$(dirname "$0")/../.."
work=$(mktemp -d /tmp/quillon-package.XXXXXX)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL (package): $*" >&2; exit 1; }
# has FILE LINE...: FILE holds each LINE (a regular expression).
has() { local file=$1 line; shift; for line; do grep -q -- "$line" "$file" || fail "${file#"$work"/} lacks $line"; done; }

# build NAME TZ UMASK FOLDER: scripts/package.sh into $work/NAME, building under $work/NAME/FOLDER.
build() {
  local start=$SECONDS
  mkdir -p "$work/$1/$4"
  (umask "$3" && TZ=$2 TMPDIR=$work/$1/$4 scripts/package.sh "$work/$1/out") >"$work/$1.log" 2>&1 ||
    { cat "$work/$1.log" >&2; fail "the $1 build failed"; }
  echo "$1 build: $((SECONDS - start)) s ($(tail -n1 "$work/$1.log"))"
}
build first Etc/GMT+12 0022 tmp
build second Etc/GMT-14 0002 a/much/deeper/folder/for/the/second/build
deb=$(echo "$work"/first/out/quillon_*_amd64.deb)
[ -f "$deb" ] || fail "no quillon_<version>_amd64.deb"

# Reproducible: the package and its debug symbols, byte for byte; the binaries know no build folder.
(cd "$work" && sha256sum first/out/*.deb second/out/*.deb)
for package in "$work"/first/out/*.deb; do
  name=${package##*/}
  cmp -s "$package" "$work/second/out/$name" ||
    fail "$name differs between the builds: $(diff <(dpkg-deb -c "$package") <(dpkg-deb -c "$work/second/out/$name"))"
  dpkg -x "$package" "$work/unpacked"
done
! grep -r -a -l -F "$work" "$work/unpacked" || fail "the build folder is named in the files above"
rm -rf "$work/unpacked"

# The files: those CMake installs for xscreensaver, with the copyright file and the changelog.
dpkg -x "$deb" "$work/root"
[ "$(cd "$work/root" && find . -type f | sort)" = "./usr/libexec/xscreensaver/quillon
./usr/share/applications/screensavers/quillon.desktop
./usr/share/doc/quillon/changelog.gz
./usr/share/doc/quillon/copyright
./usr/share/man/man6/quillon.6.gz
./usr/share/xscreensaver/config/quillon.xml" ] || fail "unexpected files: $(dpkg-deb -c "$deb")"
dpkg-deb -c "$deb" >"$work/list"
has "$work/list" '^-rwxr-xr-x root/root .* \./usr/libexec/xscreensaver/quillon$'

# One version: CMake's project version is the changelog's, the package's, the program's and the man page's.
version=$(sed -n 's/^project(Quillon VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
[ -n "$version" ] && [ "$(dpkg-parsechangelog -S Version)" = "$version" ] || fail "debian/changelog is not at $version"
[ "${deb##*/}" = "quillon_${version}_amd64.deb" ] && [ "$(dpkg-deb -f "$deb" Version)" = "$version" ] ||
  fail "the package is not version $version"
[ "$("$work/root/usr/libexec/xscreensaver/quillon" --version)" = "quillon $version" ] || fail "--version is not $version"
zcat "$work/root/usr/share/man/man6/quillon.6.gz" >"$work/man"
has "$work/man" "^\.TH QUILLON 6 \"$version\" "

# Relations (the libraries from dpkg-shlibdeps) and the description, which is the settings page's.
dpkg-deb -f "$deb" Depends | sed 's/[,|]/\n/g' >"$work/depends"
has "$work/depends" '^libc6 (>= ' '^ libglu1-mesa ' '^ libjpeg62-turbo (>= ' '^ libx11-6' '^ libglx0'
[ "$(dpkg-deb -f "$deb" Recommends)" = xscreensaver ] && [ "$(dpkg-deb -f "$deb" Suggests)" = xsecurelock ] ||
  fail "not Recommends: xscreensaver and Suggests: xsecurelock"
[ "$(dpkg-deb -f "$deb" Description | tail -n +2)" = \
  "$(sed -n '/<_description>/,/<\/_description>/{/_description>/d;s/^ */ /;p}' host/x11/quillon.xml)" ] ||
  fail "the description is not the settings page's"

# The copyright file is machine-readable and its licence is LICENSE, word for word.
copyright=$work/root/usr/share/doc/quillon/copyright
has "$copyright" '^Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/$' '^Files: \*$' \
  "^Copyright: $(sed -n 's/^Copyright (c) //p' LICENSE)$" '^License: Expat$'
diff <(sed '1,/^License: Expat$/d; s/^ //; s/^\.$//' "$copyright") <(sed -n '/^Copyright (c)/,$p' LICENSE | tail -n +3) ||
  fail "the licence in the copyright file is not LICENSE"

# lintian, pedantic and informational tags shown; errors and warnings fail.
echo "lintian $(dpkg-query -W -f '${Version}' lintian) on ${deb##*/}:"
lintian --fail-on error,warning --display-info --pedantic "$deb" 2>&1 | grep -v '^running with root privileges'
[ "${PIPESTATUS[0]}" = 0 ] || fail "lintian found errors or warnings"
echo "PASS (package)"
