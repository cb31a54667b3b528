#!/usr/bin/env bash
# Drives the real quillon.scr under Wine as the system and a user would: xdotool for keys and the
# mouse, screenshots of the X screen, Wine's reg for the stored setting.
# Usage: e2e.sh <build dir> <screenshot dir>; DISPLAY and WINEPREFIX name a running X server and a
# prepared Wine prefix (scripts/test-win32.sh sets both up).
set -uo pipefail
build=$(cd "$1" && pwd)
shots=$2
mkdir -p "$shots"
scr="$build/host/win32/quillon.scr"
preview_host="$build/tests/win32/preview_host.exe"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

failures=0
check() {  # check <description> <command...>
  local what=$1; shift
  if "$@"; then echo "  ok   $what"; else echo "  FAIL $what"; failures=$((failures + 1)); fi
}

# Starts quillon.scr in the background; its exit code lands in $work/rc.
saver_pid=""
start_saver() {
  rm -f "$work/rc"
  ( timeout 60 wine "$scr" "$@" >"$work/saver.log" 2>&1; echo $? >"$work/rc" ) &
  saver_pid=$!
}
# Waits up to $2 seconds for a window named exactly $1; prints its X id.
wait_window() {
  local deadline=$((SECONDS + $2)) id
  while [ $SECONDS -lt $deadline ]; do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.2
  done
  return 1
}
# True once the saver has ended within $1 seconds.
ended_within() {
  local deadline=$((SECONDS + $1))
  while [ $SECONDS -lt $deadline ]; do
    [ -f "$work/rc" ] && return 0
    sleep 0.2
  done
  return 1
}
# Waits up to $1 seconds for the saver to end; true when it ended with exit code 0.
exited_zero() { ended_within "$1" && [ "$(cat "$work/rc")" = 0 ]; }
# True when the saver is still running after the input had $1 seconds to take effect.
still_running() { ! ended_within "$1" && xdotool search --name '^SaverWindow$' >/dev/null 2>&1; }
stop_saver() {
  [ -f "$work/rc" ] || { kill "$saver_pid" 2>/dev/null; wineserver -k 2>/dev/null; wait "$saver_pid" 2>/dev/null; }
  true
}
shot() { import -window root "$shots/$1.png"; }
lit_fraction() { convert "$1" -colorspace gray -threshold 4% -format '%[fx:mean]' info:; }
non_black() { awk -v f="$(lit_fraction "$1")" 'BEGIN { exit !(f > 0.05) }'; }
differs() { local n; n=$(compare -metric AE "$1" "$2" null: 2>&1); awk -v n="${n%% *}" 'BEGIN { exit !(n > 500) }'; }
# Starts the full-screen saver with the pointer at 400,300 and gives its window the keyboard.
saver_window=""
start_full_screen() {
  xdotool mousemove 400 300
  start_saver /s
  saver_window=$(wait_window SaverWindow 30) || { echo "  FAIL no SaverWindow"; failures=$((failures + 1)); return 1; }
  timeout 5 xdotool windowfocus "$saver_window"
}

reg_key='HKCU\Software\Ostrel\Lanthorn Saver'
reg_value() { wine reg query "$reg_key" /v UseMirrors 2>/dev/null | tr -d '\r' | awk '$1 == "UseMirrors" { print $2, $3 }'; }

screen=$(xdpyinfo | awk '/dimensions:/ { print $2 }')

echo "e2e: /s draws a moving kaleidoscope over the whole screen; command keys keep it running"
if start_full_screen; then
  geometry=$(xwininfo -id "$saver_window" | awk '/Width:/ { w = $2 } /Height:/ { h = $2 } END { print w "x" h }')
  check "window covers the screen ($geometry on $screen)" [ "$geometry" = "$screen" ]
  sleep 1; shot saver-1; sleep 1; shot saver-2
  check "screenshot is not black (lit $(lit_fraction "$shots/saver-1.png"))" non_black "$shots/saver-1.png"
  check "the picture moves" differs "$shots/saver-1.png" "$shots/saver-2.png"
  xdotool key m s 3 0 Left Right Up Down space
  check "M, S, digits, arrows and space keep it running" still_running 2
  shot saver-after-keys
  check "still drawing after the keys" non_black "$shots/saver-after-keys.png"
  xdotool key x
  check "another key ends it with exit code 0" exited_zero 15
  stop_saver
fi

echo "e2e: a click and a mouse move beyond the threshold end it"
if start_full_screen; then
  xdotool click 1
  check "a click ends it with exit code 0" exited_zero 15
  stop_saver
fi
if start_full_screen; then
  xdotool mousemove 450 350
  check "a move of 50 pixels on both axes keeps it running" still_running 2
  xdotool mousemove 451 300
  check "a move of 51 pixels ends it with exit code 0" exited_zero 15
  stop_saver
fi

echo "e2e: /p draws into a host window and ends with it"
rm -f "$work/stop"
( timeout 60 wine "$preview_host" "$(winepath -w "$scr")" "$(winepath -w "$work/stop")" >"$work/preview.log" 2>&1
  echo $? >"$work/preview.rc" ) &
preview_pid=$!
deadline=$((SECONDS + 30))
until grep -q '^host' "$work/preview.log" 2>/dev/null || [ $SECONDS -ge $deadline ]; do sleep 0.2; done
sleep 1; shot preview
touch "$work/stop"
deadline=$((SECONDS + 30))
until [ -f "$work/preview.rc" ] || [ $SECONDS -ge $deadline ]; do sleep 0.2; done
tr -d '\r' <"$work/preview.log" | sed 's/^/       /'
check "the saver's child fills the host window" grep -q 'host 40,40 320x240 child shown 40,40 320x240' "$work/preview.log"
check "the saver ends with exit code 0 when the host window is destroyed" \
  grep -q 'saver ended, exit code 0' "$work/preview.log"
check "preview host succeeded" [ "$(cat "$work/preview.rc" 2>/dev/null)" = 0 ]
kill "$preview_pid" 2>/dev/null

echo "e2e: /c shows the dialog; Return stores the box, Escape stores nothing"
config() {  # config <keys...>: opens the dialog, presses the keys, waits for the end
  start_saver /c
  local dialog
  dialog=$(wait_window 'Config dialog' 30) || { echo "  FAIL no Config dialog"; failures=$((failures + 1)); stop_saver; return 1; }
  timeout 5 xdotool windowfocus "$dialog"
  sleep 0.5
  [ -n "${config_shot:-}" ] && shot "$config_shot"
  xdotool key "$@"
  check "the dialog ends with exit code 0 after $*" exited_zero 15
  stop_saver
}
wine reg delete "$reg_key" /f >/dev/null 2>&1
config_shot=config config Return; config_shot=""
check "Return stores the loaded default as REG_DWORD ($(reg_value))" [ "$(reg_value)" = "REG_DWORD 0x1" ]
config Tab Tab space Return
check "the toggled box is stored ($(reg_value))" [ "$(reg_value)" = "REG_DWORD 0x0" ]
wine reg add "$reg_key" /v UseMirrors /t REG_BINARY /d 07000000 /f >/dev/null 2>&1
config Tab Tab space Escape
check "Escape leaves the value untouched ($(reg_value))" [ "$(reg_value)" = "REG_BINARY 07000000" ]

echo "e2e: /x, a lone / and /a start nothing"
for switch in /x / "/a 0"; do
  # shellcheck disable=SC2086 # "/a 0" is two arguments
  start_saver $switch
  shown=0
  deadline=$((SECONDS + 20))
  until [ -f "$work/rc" ] || [ $SECONDS -ge $deadline ]; do
    xdotool search --name '^(SaverWindow|Config dialog)$' >/dev/null 2>&1 && shown=1
    sleep 0.1
  done
  check "$switch shows no window and ends with exit code 0" [ "$shown:$(cat "$work/rc" 2>/dev/null)" = 0:0 ]
  stop_saver
done

echo "e2e: $failures failure(s); screenshots in $shots"
[ "$failures" = 0 ]
