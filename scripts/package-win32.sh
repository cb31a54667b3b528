#!/usr/bin/env bash
# Builds the Windows downloads into out/: quillon-<version>-setup.exe (the installer, resources/quillon.nsi),
# quillon-<version>-win64.zip (quillon.scr, LICENSE.txt, README.txt) and SHA256SUMS. The saver is built
# afresh in build/package-win32 with the commit's time as SOURCE_DATE_EPOCH, so one commit gives the same
# quillon.scr, zip and installer wherever and whenever it is built (scripts/reproduce-win32.sh checks that).
#
#   scripts/package-win32.sh [--sign CERT.pfx [--timestamp URL]] [--out DIR]
#
# --sign signs quillon.scr before it is packed, then the uninstaller and the installer, with osslsigncode;
# the certificate's password comes from the environment variable QUILLON_SIGN_PASSWORD. --timestamp adds
# an RFC 3161 time stamp from the server at URL. Nothing reaches the output folder unless every step worked.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

die() { echo "package-win32: $*" >&2; exit 1; }

# Signs one file in place; makensis calls this for the uninstaller it writes (see --sign-in-place below).
sign_in_place() {
  local file=$1 args=()
  [ -n "${QUILLON_SIGN_TIMESTAMP:-}" ] && args=(-ts "$QUILLON_SIGN_TIMESTAMP")
  printf '%s' "$QUILLON_SIGN_PASSWORD" |
    osslsigncode sign -pkcs12 "$QUILLON_SIGN_CERT" -readpass /dev/stdin -h sha256 -n "Quillon screen saver" \
      "${args[@]}" -in "$file" -out "$file.signed" >/dev/null
  mv "$file.signed" "$file"
}
if [ "${1:-}" = --sign-in-place ]; then sign_in_place "$2"; exit; fi

cert="" timestamp="" out="$root/out"
while [ $# -gt 0 ]; do
  case "$1" in
    --sign) [ $# -ge 2 ] || die "--sign needs a certificate file"; cert=$2; shift 2 ;;
    --timestamp) [ $# -ge 2 ] || die "--timestamp needs a URL"; timestamp=$2; shift 2 ;;
    --out) [ $# -ge 2 ] || die "--out needs a folder"; out=$2; shift 2 ;;
    -h | --help) sed -n '2,11s/^# \{0,1\}//p' "$0"; exit 0 ;;
    *) die "unknown option $1 (see --help)" ;;
  esac
done

# The certificate is tried before anything is built, so a bad one costs nothing and leaves nothing.
if [ -n "$cert" ]; then
  [ -f "$cert" ] || die "no certificate file $cert"
  [ -n "${QUILLON_SIGN_PASSWORD:-}" ] || die "set QUILLON_SIGN_PASSWORD to the password of $cert"
  openssl pkcs12 -in "$cert" -passin env:QUILLON_SIGN_PASSWORD -noout 2>/dev/null ||
    openssl pkcs12 -legacy -in "$cert" -passin env:QUILLON_SIGN_PASSWORD -noout 2>/dev/null ||
    die "the password in QUILLON_SIGN_PASSWORD does not open $cert"
  export QUILLON_SIGN_CERT QUILLON_SIGN_TIMESTAMP=$timestamp QUILLON_SIGN_PASSWORD
  QUILLON_SIGN_CERT=$(realpath "$cert")
fi

scripts/setup-win32.sh >/dev/null
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct 2>/dev/null || true)}
[ -n "$SOURCE_DATE_EPOCH" ] || die "not a git checkout: set SOURCE_DATE_EPOCH"
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C
[ -z "$(git status --porcelain 2>/dev/null)" ] || echo "package-win32: note: the tree has uncommitted changes" >&2

build="$root/build/package-win32"
rm -rf "$build"
cmake --preset mingw -B "$build" -DQUILLON_TESTS=OFF >/dev/null
cmake --build "$build" -j2 --target quillon_scr >/dev/null
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
mkdir "$stage/files" "$stage/out"
files="$stage/files"
cp "$build/host/win32/quillon.scr" "$files/"
sed 's/$/\r/' LICENSE >"$files/LICENSE.txt"
sed -e "s/@VERSION@/$version/g" -e 's/$/\r/' resources/windows-readme.txt >"$files/README.txt"
[ -n "$cert" ] && sign_in_place "$files/quillon.scr"
chmod 644 "$files"/*
touch -d "@$SOURCE_DATE_EPOCH" "$files"/*

zip_name="quillon-$version-win64.zip" setup_name="quillon-$version-setup.exe"
(cd "$files" && zip -X -q -9 "$stage/out/$zip_name" quillon.scr LICENSE.txt README.txt)

nsis_args=(-V2 -DVERSION_NSH="$build/resources/quillon_version.nsh" -DSTAGE="$files"
  -DOUTFILE="$stage/out/$setup_name")
[ -n "$cert" ] && nsis_args+=(-DSIGN_COMMAND="\"$root/scripts/package-win32.sh\" --sign-in-place")
makensis "${nsis_args[@]}" resources/quillon.nsi >/dev/null
[ -n "$cert" ] && sign_in_place "$stage/out/$setup_name"
(cd "$stage/out" && sha256sum "$setup_name" "$zip_name" >SHA256SUMS)

mkdir -p "$out"
rm -f "$out"/quillon-*-setup.exe "$out"/quillon-*-win64.zip "$out/SHA256SUMS"
mv "$stage/out"/* "$out/"
echo "package-win32: quillon $version${cert:+, signed}, in $out:"
(cd "$out" && ls -l "$setup_name" "$zip_name" SHA256SUMS | awk '{ print "  " $5 "\t" $NF }')
