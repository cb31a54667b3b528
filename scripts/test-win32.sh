#!/usr/bin/env bash
# Cross-builds quillon.scr and its tests with mingw-w64 and runs them under Wine on a private Xvfb:
# the GoogleTest program (registry, window procedure, saver window, resources, dialog), the end-to-end
# script, then the downloads: installed, upgraded and removed, signed, and built twice to compare; last the
# full-screen saver again on two monitors (a Xephyr on the Xvfb). One fresh Wine prefix per run; everything
# started here is stopped on exit.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)

scripts/setup-win32.sh
cmake --preset mingw >/dev/null
cmake --build --preset mingw -j2

export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
WINEPREFIX=$(mktemp -d "$root/build/wine-test.XXXXXX")
export WINEPREFIX
server_pids=()
cleanup() {
  timeout 20 wineserver -k >/dev/null 2>&1 || true
  for pid in "${server_pids[@]}"; do kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; done
  rm -rf "$WINEPREFIX"
}
trap cleanup EXIT

# start_x SERVER ARGS...: starts an X server that picks a free display itself and reports it, and points
# DISPLAY at it (a nested Xephyr opens its windows on the DISPLAY before). No reset when the last client
# leaves, which would put the pointer back in the middle between two steps.
start_x() {
  local display_file
  display_file=$(mktemp)
  "$@" -displayfd 3 -noreset -nolisten tcp 3>"$display_file" >/dev/null 2>&1 &
  server_pids=("$!" "${server_pids[@]}")
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  [ -s "$display_file" ] || { echo "test-win32: $1 did not start" >&2; exit 1; }
  DISPLAY=":$(head -n1 "$display_file")"
  export DISPLAY
  rm -f "$display_file"
}
start_x Xvfb -screen 0 800x600x24

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
# Once, on a loaded machine, this run stopped without a word before its first check; a failure must repeat to count.
if ! timeout 300 tests/win32/e2e.sh build/mingw build/mingw/e2e; then
  echo "test-win32: end to end once more"
  # No server may be left to kill (the run ends with wineserver -k), and that must not end this script.
  timeout 20 wineserver -k 2>/dev/null || true
  timeout 30 wineserver -w 2>/dev/null || true
  wineserver -p
  timeout 300 tests/win32/e2e.sh build/mingw build/mingw/e2e-again || status=1
fi
echo "test-win32: the downloads: installer, zip, signing"
timeout 600 tests/win32/install.sh build/mingw/install || status=1
echo "test-win32: the downloads built twice"
timeout 600 scripts/reproduce-win32.sh build/mingw/reproduce || status=1

# Two monitors side by side, 1024x768 and 800x600, as the Xinerama heads of a Xephyr on the Xvfb; Wine reads
# them from Xinerama when its display driver starts with its RandR use off, and puts its primary monitor (the
# first head) at 0, 0. So the second layout, with the smaller monitor on the left, starts the virtual screen
# at -800, 0. Wine starts afresh on each display.
host_display=$DISPLAY
wine reg add 'HKCU\Software\Wine\X11 Driver' /v UseXRandR /d N /f >/dev/null 2>&1
for layout in right left; do
  echo "test-win32: two monitors, the second on the $layout"
  timeout 20 wineserver -k || true
  timeout 20 wineserver -w || true
  export DISPLAY=$host_display
  if [ "$layout" = right ]; then
    start_x Xephyr +xinerama -screen 1024x768 -screen 800x600
  else
    start_x Xephyr +xinerama -origin 800,0 -screen 1024x768 -origin 0,0 -screen 800x600
  fi
  wineserver -p
  # The first program starts Wine's desktop and services on this display; they would keep a pipe open.
  wine reg query 'HKCU\Software\Wine\X11 Driver' /v UseXRandR >/dev/null 2>&1
  if ! timeout 300 wine build/mingw/tests/win32/quillon_win32_tests.exe --gtest_filter='SaverWindow.FullScreen*' 2>&1 |
      tr -d '\r'; then status=1; fi
  timeout 300 tests/win32/e2e.sh build/mingw "build/mingw/e2e-monitors-$layout" monitors || status=1
done

[ "$status" = 0 ] && echo "test-win32: all passed" || echo "test-win32: FAILED" >&2
exit "$status"
