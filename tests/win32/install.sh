#!/usr/bin/env bash
# The Windows downloads under Wine as a user and an administrator meet them: scripts/package-win32.sh
# builds them (plain and signed with a throwaway certificate), the installer runs silently over an older
# build while its saver runs, again, and with /SETSAVER, the installed saver runs and ends on a key, and the
# uninstaller cleans up. Registry values are read back with Wine's reg.exe; every wait is a bounded poll.
# Usage: install.sh <work dir>; DISPLAY and WINEPREFIX name a running X server and a prepared 64-bit Wine
# prefix (scripts/test-win32.sh sets both up).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
rm -rf "$1" && mkdir -p "$1"
work=$(cd "$1" && pwd)
. "$root/tests/win32/e2e_helpers.sh"

system32="$WINEPREFIX/drive_c/windows/system32"
installed="$system32/quillon.scr"
uninstaller="$WINEPREFIX/drive_c/Program Files/Quillon/uninstall.exe"
uninstall_key='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quillon'
desktop_key='HKCU\Control Panel\Desktop'
saver_key='HKCU\Software\Ostrel\Lanthorn Saver'
the_user_s_saver='C:\windows\system32\ribbons.scr'

quiet() { "$@" >"$work/last.log" 2>&1 || { cat "$work/last.log"; return 1; }; }
# A registry value as "TYPE data" (reg.exe's columns are four blanks apart), or nothing when absent.
value() { timeout 30 wine reg query "$1" /v "$2" 2>/dev/null | tr -d '\r' | awk -F '    ' -v n="$2" '$2 == n { print $3 " " $4 }'; }
is() { [ "$(value "$1" "$2")" = "$3" ] || { echo "    $2: '$(value "$1" "$2")', expected '$3'"; return 1; }; }
set_value() { timeout 30 wine reg add "$1" /v "$2" /t "$3" /d "$4" /f >/dev/null 2>&1; }
# Runs an installer; its status must be $1 (Wine hands on the low byte of Windows' exit code).
setup_ends_with() { local want=$1; shift; timeout 120 wine "$@" >/dev/null 2>&1; [ $? = "$want" ]; }
gone() { [ ! -e "$installed" ] && [ ! -e "$uninstaller" ] && [ -z "$(value "$uninstall_key" DisplayName)" ]; }
saver_ended() { [ -f "$work/saver.rc" ]; }
uninstall_entry() {
  local pair uninstall='"C:\Program Files\Quillon\uninstall.exe"'
  for pair in 'DisplayName|REG_SZ Quillon screen saver' "DisplayVersion|REG_SZ $version" \
    'Publisher|REG_SZ The Quillon developers' 'DisplayIcon|REG_SZ C:\windows\system32\quillon.scr,0' \
    'InstallLocation|REG_SZ C:\Program Files\Quillon' "UninstallString|REG_SZ $uninstall" \
    "QuietUninstallString|REG_SZ $uninstall /S" 'NoModify|REG_DWORD 0x1' 'NoRepair|REG_DWORD 0x1'; do
    is "$uninstall_key" "${pair%%|*}" "${pair#*|}" || return 1
  done
}
pending_rename() {
  timeout 30 wine reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations |
    grep -qi 'system32.quillon.scr'
}

echo "install: the downloads"
check "package-win32.sh builds them" quiet "$root/scripts/package-win32.sh" --out "$work/out"
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$root/build/package-win32/CMakeCache.txt")
setup="$work/out/quillon-$version-setup.exe" zip="$work/out/quillon-$version-win64.zip"
built="$root/build/package-win32/host/win32/quillon.scr"
check "SHA256SUMS covers the installer and the zip" \
  bash -c "cd '$work/out' && sha256sum --quiet -c SHA256SUMS && [ \$(wc -l <SHA256SUMS) = 2 ]"
check "the zip holds quillon.scr, LICENSE.txt and README.txt" [ "$(unzip -Z1 "$zip" | tr '\n' ' ')" = "quillon.scr LICENSE.txt README.txt " ]
check "its quillon.scr is the one built" cmp -s <(unzip -p "$zip" quillon.scr) "$built"
check "its texts end every line in CRLF" bash -c "! unzip -p '$zip' README.txt LICENSE.txt | grep -qv $'\r\$'"

# An older build: version 1.9, and a saver that differs from this one by a trailer (the loader ignores it).
mkdir -p "$work/older"
{ cat "$built"; echo "older build"; } >"$work/older/quillon.scr"
unzip -p "$zip" LICENSE.txt >"$work/older/LICENSE.txt"
check "an older installer builds (version 1.9)" quiet makensis -V1 -DVERSION=1.9 -DVERSION_QUAD=1.9.0.0 \
  -DVERSION_NSH="$root/build/package-win32/resources/quillon_version.nsh" -DSTAGE="$work/older" \
  -DOUTFILE="$work/older-setup.exe" "$root/resources/quillon.nsi"

echo "install: signing with a throwaway certificate"
openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
  -subj "/CN=Quillon test signer" >/dev/null 2>&1
openssl pkcs12 -export -inkey "$work/key.pem" -in "$work/cert.pem" -out "$work/cert.pfx" -passout pass:s3cret
refused() {  # refused <password or - for none>: one line on stderr, a non-zero status, nothing written
  local status
  if [ "$1" = - ]; then
    (unset QUILLON_SIGN_PASSWORD; "$root/scripts/package-win32.sh" --sign "$work/cert.pfx" --out "$work/refused" 2>"$work/err" >/dev/null)
  else
    QUILLON_SIGN_PASSWORD=$1 "$root/scripts/package-win32.sh" --sign "$work/cert.pfx" --out "$work/refused" 2>"$work/err" >/dev/null
  fi
  status=$?
  [ "$status" != 0 ] && [ "$(wc -l <"$work/err")" = 1 ] && [ -z "$(ls -A "$work/refused" 2>/dev/null)" ] ||
    { echo "    status $status, out: $(ls -A "$work/refused" 2>/dev/null)"; cat "$work/err"; return 1; }
}
check "a wrong password stops it with one line" refused wrong
check "no password stops it with one line" refused -
check "with the right password it builds signed downloads" \
  quiet env QUILLON_SIGN_PASSWORD=s3cret "$root/scripts/package-win32.sh" --sign "$work/cert.pfx" --out "$work/signed"
unzip -p "$work/signed/quillon-$version-win64.zip" quillon.scr >"$work/signed.scr"
signed() { quiet osslsigncode verify -CAfile "$work/cert.pem" -in "$1"; }
check "quillon.scr in the zip carries a good signature" signed "$work/signed.scr"
check "the installer carries a good signature" signed "$work/signed/quillon-$version-setup.exe"

echo "install: the user's own choices before Quillon comes"
set_value "$desktop_key" SCRNSAVE.EXE REG_SZ "$the_user_s_saver"
set_value "$saver_key" UseMirrors REG_DWORD 0

echo "install: silently, an older build, then this one while the older saver runs"
check "the older installer succeeds" setup_ends_with 0 "$work/older-setup.exe" /S
check "quillon.scr lands in the real system32" cmp -s "$installed" "$work/older/quillon.scr"
check "and not in syswow64" [ ! -e "$WINEPREFIX/drive_c/windows/syswow64/quillon.scr" ]
check "the uninstall entry names version 1.9" is "$uninstall_key" DisplayVersion "REG_SZ 1.9"
( timeout 120 wine 'C:\windows\system32\quillon.scr' /s >/dev/null 2>&1; echo $? >"$work/saver.rc" ) &
check "the installed saver runs full screen (/s)" wait_for viewable
check "this installer, with the saver in use, asks for a restart (3010)" setup_ends_with $((3010 % 256)) "$setup" /S
check "the file in use is left in place" cmp -s "$installed" "$work/older/quillon.scr"
check "its replacement waits for the restart" pending_rename
timeout 5 xdotool windowfocus --sync "$(saver_window)" >/dev/null 2>&1
xdotool key x
check "a key ends the saver" wait_for saver_ended
check "with exit code 0" [ "$(cat "$work/saver.rc" 2>/dev/null)" = 0 ]
timeout 120 wineboot -r >/dev/null 2>&1
check "after the restart system32 holds this build" cmp -s "$installed" "$built"

check "the uninstall key holds every value, typed" uninstall_entry
estimated=$(value "$uninstall_key" EstimatedSize)
saver_kb=$(($(stat -c %s "$built") / 1024))
check "EstimatedSize is a DWORD of kilobytes: the saver's and under 200 more ($estimated)" \
  bash -c "[[ '$estimated' == 'REG_DWORD 0x'* ]] && (( ${estimated#REG_DWORD } >= $saver_kb && ${estimated#REG_DWORD } < $saver_kb + 200 ))"
check "the current screen saver is still the user's" is "$desktop_key" SCRNSAVE.EXE "REG_SZ $the_user_s_saver"

echo "install: again, signed, with /SETSAVER"
check "the signed installer succeeds" setup_ends_with 0 "$work/signed/quillon-$version-setup.exe" /S /SETSAVER
check "system32 holds the signed build" cmp -s "$installed" "$work/signed.scr"
check "the uninstaller carries a good signature" signed "$uninstaller"
check "Quillon is the current screen saver" is "$desktop_key" SCRNSAVE.EXE 'REG_SZ C:\windows\system32\quillon.scr'
check "and the screen saver is on" is "$desktop_key" ScreenSaveActive "REG_SZ 1"

echo "install: silent uninstall"
check "the uninstaller starts" setup_ends_with 0 "$uninstaller" /S
check "it removes quillon.scr, itself and its key" wait_for gone
check "it clears the current screen saver, which was Quillon" is "$desktop_key" SCRNSAVE.EXE ""
check "it keeps the saver's own setting" is "$saver_key" UseMirrors "REG_DWORD 0x0"
check "installed once more" setup_ends_with 0 "$setup" /S /SETSAVER
set_value "$desktop_key" SCRNSAVE.EXE REG_SZ "$the_user_s_saver"
check "and uninstalled" setup_ends_with 0 "$uninstaller" /S
check "it removes quillon.scr, itself and its key" wait_for gone
check "it leaves another current screen saver alone" is "$desktop_key" SCRNSAVE.EXE "REG_SZ $the_user_s_saver"

echo "install: $failures failure(s)"
[ "$failures" = 0 ]
