#!/usr/bin/env bash
# Cross-builds quillon.scr and its tests with mingw-w64 and runs them under Wine on a private Xvfb:
# the GoogleTest program (registry, window procedure, saver window, resources, dialog), then the
# end-to-end script. One fresh Wine prefix per run; everything started here is stopped on exit.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup-win32.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j2

export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d "$root/build/wine-test.XXXXXX")
export WINEPREFIX
xvfb_pid=""
cleanup() {
  timeout 20 wineserver -k >/dev/null 2>&1 || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

# Xvfb picks a free display itself and reports its number.
display_file=$(mktemp)
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "test-win32: Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$display_file")"
rm -f "$display_file"

echo "test-win32: Wine prefix $WINEPREFIX on $DISPLAY"
wineserver -p  # stays up between the programs, so each starts quickly
timeout 120 wineboot -i >/dev/null 2>&1

status=0
echo "test-win32: unit tests"
mkdir -p build/mingw/e2e
for program in quillon_win32_tests quillon_golden_tests exact/quillon_math_check; do
  if ! timeout 300 wine "build/mingw/tests/win32/$program.exe" 2>&1 | tr -d '\r'; then status=1; fi
done
echo "test-win32: end to end"
timeout 300 tests/win32/e2e.sh build/mingw build/mingw/e2e || status=1

[ "$status" = 0 ] && echo "test-win32: all passed" || echo "test-win32: FAILED" >&2
exit "$status"
