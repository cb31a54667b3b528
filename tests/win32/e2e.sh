#!/usr/bin/env bash
# Drives the real quillon.scr /s under Wine as a user would: X keys through xdotool, screenshots of the X
# screen. Every step waits for what it needs (a window viewable, a new frame, the process gone) with a
# bounded poll. The other switches run from the unit tests (tests/win32/built_saver_test.cpp).
# Usage: e2e.sh <build dir> <screenshot dir>; DISPLAY and WINEPREFIX name a running X server and a
# prepared Wine prefix (scripts/test-win32.sh sets both up).
set -uo pipefail
build=$(cd "$1" && pwd)
shots=$2
mkdir -p "$shots"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

# shellcheck source=tests/win32/e2e_helpers.sh
. "$(dirname "$0")/e2e_helpers.sh"
ended() { [ -f "$work/rc" ]; }
shot() { import -window root "$shots/$1.png"; }
lit() {  # screenshot $1, with over 5% of its pixels lit
  shot "$1" && [ "$(convert "$shots/$1.png" -colorspace gray -threshold 4% -format '%[fx:mean>0.05]' info:)" = 1 ]
}
# A frame presented after screenshot $1 (screenshot $2 differs from it in over 500 pixels) while the
# saver still runs.
new_frame() {
  shot "$2" && ! ended && [ -n "$(saver_window)" ] &&
    awk -v n="$(compare -metric AE "$shots/$1.png" "$shots/$2.png" null: 2>&1)" 'BEGIN { exit !(n + 0 > 500) }'
}

echo "e2e: /s draws a moving kaleidoscope over the whole screen; command keys keep it running"
xdotool mousemove 400 300
( timeout 60 wine "$build/host/win32/quillon.scr" /s >"$work/saver.log" 2>&1; echo $? >"$work/rc" ) &
if wait_for viewable && timeout 5 xdotool windowfocus --sync "$(saver_window)"; then
  geometry=$(xwininfo -id "$(saver_window)" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
  screen=$(xdpyinfo | awk '/dimensions:/ { print $2 }')
  check "window covers the screen ($geometry on $screen)" [ "$geometry" = "$screen" ]
  check "the picture is drawn (not black)" wait_for lit saver-1
  check "the picture moves" wait_for new_frame saver-1 saver-2
  # Keys are handled before the next frame is drawn, and a closing key would leave no next frame.
  xdotool key m s 3 0 Left Right Up Down space
  shot saver-keys
  check "M, S, digits, arrows and space keep it drawing" wait_for new_frame saver-keys saver-after-keys
  xdotool key x
  check "another key ends it" wait_for ended
  check "with exit code 0" [ "$(cat "$work/rc")" = 0 ]
else
  check "a viewable SaverWindow takes the focus" false
fi
ended || wineserver -k
wait

echo "e2e: $failures failure(s); screenshots in $shots"
[ "$failures" = 0 ]
