#!/usr/bin/env bash
# Drives the real quillon.scr /s under Wine as a user would: X keys through xdotool, screenshots of the X
# screen. Every step waits for what it needs (a window viewable, a new frame, the process gone) with a
# bounded poll. The other switches run from the unit tests (tests/win32/built_saver_test.cpp).
# Usage: e2e.sh <build dir> <screenshot dir> [screen|monitors]; DISPLAY and WINEPREFIX name a running X
# server and a prepared Wine prefix (scripts/test-win32.sh sets both up). "monitors" wants an X screen made
# of two or more Xinerama heads, which Wine reports as monitors.
set -uo pipefail
build=$(cd "$1" && pwd)
shots=$2
scenario=${3:-screen}
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

# Keys go to the X focus, which Wine does not move on this server without a window manager; should the
# saver's window lose it, its keys would be lost. So the saver takes the focus again before each key.
focused() {
  local id
  id=$(saver_window)
  [ -n "$id" ] && [ "$(timeout 5 xdotool getwindowfocus 2>/dev/null)" = "$id" ]
}
take_focus() { focused || { timeout 5 xdotool windowfocus --sync "$(saver_window)" >/dev/null 2>&1; focused; }; }
key() { wait_for take_focus && xdotool key "$@"; }

start_saver() {
  rm -f "$work/rc"
  ( timeout 60 wine "$build/host/win32/quillon.scr" /s >"$work/saver.log" 2>&1; echo $? >"$work/rc" ) &
  wait_for viewable && wait_for take_focus
}
stop_saver() { ended || { still_running; wineserver -k; }; wait; }
# Tells a saver that should have ended and did not whether its window is left (input lost or not taken)
# or gone (stuck on its way out).
still_running() {
  local id
  id=$(saver_window)
  echo "       the saver still runs: window ${id:-gone}, X focus on $(timeout 5 xdotool getwindowfocus 2>&1)"
}

one_screen() {
  echo "e2e: /s draws a moving kaleidoscope over the whole screen; command keys keep it running"
  xdotool mousemove 400 300
  if start_saver; then
    geometry=$(xwininfo -id "$(saver_window)" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
    screen=$(xdpyinfo | awk '/dimensions:/ { print $2 }')
    check "window covers the screen ($geometry on $screen)" [ "$geometry" = "$screen" ]
    check "the picture is drawn (not black)" wait_for lit saver-1
    check "the picture moves" wait_for new_frame saver-1 saver-2
    # Keys are handled before the next frame is drawn, and a closing key would leave no next frame.
    key m s 3 0 Left Right Up Down space
    shot saver-keys
    check "M, S, digits, arrows and space keep it drawing" wait_for new_frame saver-keys saver-after-keys
    key x
    check "another key ends it" wait_for ended
    check "with exit code 0" [ "$(cat "$work/rc" 2>/dev/null)" = 0 ]
  else
    check "a viewable SaverWindow takes the focus" false
  fi
  stop_saver
}

# The Xinerama heads, "W H X Y" a line.
heads() { xdpyinfo -ext XINERAMA | sed -n 's/^ *head #[0-9]*: \([0-9]*\)x\([0-9]*\) @ \([0-9]*\),\([0-9]*\)$/\1 \2 \3 \4/p'; }
# asymmetry SHOT CX TOP K ROWS: mean difference per channel (0 to 255) between the K columns left of screen
# column CX and the K columns from CX on, mirrored, over ROWS rows from TOP.
asymmetry() {
  convert "$1" \( -clone 0 -crop "$4x$5+$(($2 - $4))+$3" +repage \) \( -clone 0 -crop "$4x$5+$2+$3" +repage -flop \) \
    -delete 0 -compose difference -composite -format '%[fx:mean * 255]' info:
}
# edges SHOT WxH+X+Y: pixels of the area whose brightest channel differs by over 1.5% from its blurred self,
# which a faint, smooth glow never does and the sharp-edged logo does.
edges() {
  convert "$1" -crop "$2" +repage -colorspace HSB -channel B -separate +channel \( +clone -blur 0x2 \) \
    -compose difference -composite -threshold 1.5% -format '%[fx:round(mean * w * h)]' info:
}
# figures SHOT W H X Y: the monitor's part of SHOT measured, "name=value" words:
# - mirror: the asymmetry across the vertical through the monitor's centre, in the band of rows h/4 to h/2
#   below it, as wide as three degrees either side of the downward ray at the band's top: with the mirrors on
#   that ray is a mirror line of the picture, so about 0; shifted: the same 20 pixels to the right;
# - box: where the pixels brighter than half lie (the picture, without the glow's haze), monitor pixels;
# - logo, opposite: sharp-edged pixels in the lower right and the lower left corner, 2/5 of the width and the
#   bottom 2/25 of the height, which lies beyond the reach of the discs however large the picture grows.
figures() {
  local shot=$1 w=$2 h=$3 x=$4 y=$5 k
  k=$(awk -v h="$h" 'BEGIN { print int(sin(0.05236) / cos(0.05236) * h / 4) }')
  echo "mirror=$(asymmetry "$shot" $((x + w / 2)) $((y + h * 3 / 4)) "$k" $((h / 4)))" \
    "shifted=$(asymmetry "$shot" $((x + w / 2 + 20)) $((y + h * 3 / 4)) "$k" $((h / 4)))" \
    "box=$(convert "$shot" -crop "${w}x$h+$x+$y" +repage -colorspace HSB -channel B -separate +channel \
      -threshold 50% -trim -format '%wx%h%X%Y' info: 2>/dev/null)" \
    "logo=$(edges "$shot" "$((w * 2 / 5))x$((h * 2 / 25))+$((x + w * 3 / 5))+$((y + h * 23 / 25))")" \
    "opposite=$(edges "$shot" "$((w * 2 / 5))x$((h * 2 / 25))+$x+$((y + h * 23 / 25))")"
}
# whole W H FIGURES: a complete picture centred on a W x H monitor, mirror-symmetric about its centre
# (and not about a point beside it), with the logo in the lower right and nothing like it in the lower left.
whole() {
  local w=$1 h=$2 mirror shifted box logo opposite bw bh bx by
  eval "$3"
  IFS='x+' read -r bw bh bx by <<<"$box"
  awk -v m="$mirror" -v s="$shifted" -v l="$logo" -v o="$opposite" -v w="$w" -v h="$h" \
    -v bw="$bw" -v bh="$bh" -v bx="$bx" -v by="$by" 'BEGIN {
      centred = (bx + bw / 2 - w / 2) ^ 2 <= (w / 20) ^ 2 && (by + bh / 2 - h / 2) ^ 2 <= (h / 20) ^ 2
      inside = bw >= h / 4 && bx > 0 && by > 0 && bx + bw < w && by + bh < h
      exit !(m < 0.5 && s > 1 && centred && inside && l >= 200 && o * 10 <= l) }'
}
# every_monitor_whole SHOT: a screenshot in which each monitor shows a whole picture.
every_monitor_whole() {
  shot "$1" || return 1
  local w h x y
  while read -r w h x y; do whole "$w" "$h" "$(figures "$shots/$1.png" "$w" "$h" "$x" "$y")" || return 1; done <<<"$monitors"
}

two_monitors() {
  monitors=$(heads)
  local w h x y cx cy
  read -r w h x y <<<"$(sed -n 2p <<<"$monitors")"
  cx=$((x + w / 2)) cy=$((y + h / 2))
  echo "e2e: /s on $(wc -l <<<"$monitors") monitors,$(awk '{ printf " %dx%d+%d+%d", $1, $2, $3, $4 }' <<<"$monitors"):" \
    "a whole picture on each; input on the second is handled as on the first"
  # The mirror symmetry is measured with the mirrors on, whatever an earlier test stored.
  wine reg add 'HKCU\Software\Ostrel\Lanthorn Saver' /v UseMirrors /t REG_DWORD /d 1 /f >/dev/null 2>&1
  xdotool mousemove "$cx" "$cy"  # on the second monitor
  if start_saver; then
    geometry=$(xwininfo -id "$(saver_window)" |
      awk '/Absolute upper-left X:/ { x = $4 } /Absolute upper-left Y:/ { y = $4 } /Width:/ { w = $2 }
           /Height:/ { h = $2 } END { print w "x" h "+" x "+" y }')
    screen=$(xdpyinfo | awk '/dimensions:/ { print $2 "+0+0" }')
    check "window covers every monitor ($geometry on $screen)" [ "$geometry" = "$screen" ]
    wait_for every_monitor_whole monitors
    local n=0
    while read -r w h x y; do
      n=$((n + 1))
      convert "$shots/monitors.png" -crop "${w}x$h+$x+$y" +repage "$shots/monitor-$n.png"
      local seen
      seen=$(figures "$shots/monitors.png" "$w" "$h" "$x" "$y")
      check "monitor $n (${w}x$h+$x+$y): a whole, centred, mirrored picture and the logo: $seen" whole "$w" "$h" "$seen"
    done <<<"$monitors"
    key 5
    shot monitor-2-key
    check "a digit with the pointer on the second monitor keeps it drawing" wait_for new_frame monitor-2-key monitor-2-after-key
    xdotool mousemove $((cx + 30)) $((cy - 30))
    shot monitor-2-nudge
    check "a move within the threshold there keeps it drawing" wait_for new_frame monitor-2-nudge monitor-2-after-nudge
    xdotool mousemove $((cx + 200)) "$cy"
    check "a move beyond the threshold on the second monitor ends it" wait_for ended
    check "with exit code 0" [ "$(cat "$work/rc" 2>/dev/null)" = 0 ]
  else
    check "a viewable SaverWindow takes the focus" false
  fi
  stop_saver

  echo "e2e: /s on $(wc -l <<<"$monitors") monitors: another key with the pointer on the second monitor"
  xdotool mousemove "$cx" "$cy"
  if start_saver && wait_for lit monitors-key; then
    key x
    check "ends it" wait_for ended
  else
    check "a viewable SaverWindow draws" false
  fi
  stop_saver
}

case $scenario in
  screen) one_screen ;;
  monitors) two_monitors ;;
  *) echo "e2e: unknown scenario $scenario" >&2; exit 2 ;;
esac

echo "e2e: $failures failure(s); screenshots in $shots"
[ "$failures" = 0 ]
