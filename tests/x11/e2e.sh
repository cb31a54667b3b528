#!/usr/bin/env bash
# End-to-end tests of the quillon executable on a private Xvfb, driven with xdotool and read back with
# x11_probe: e2e.sh SCENARIO, with QUILLON and PROBE naming the two executables. Every step waits for a
# condition (a window viewable, a process gone, a picture that changed) with a bounded poll, never a fixed time.
set -uo pipefail
scenario=${1:?scenario}
: "${QUILLON:?path of quillon}" "${PROBE:?path of x11_probe}"
work=$(mktemp -d /tmp/quillon-e2e.XXXXXX)
export XDG_CONFIG_HOME=$work/config
unset XSCREENSAVER_WINDOW
xvfb_pid="" quillon_pid="" probe_pid=""
trap 'kill $quillon_pid $probe_pid $xvfb_pid 2>/dev/null; wait; rm -rf "$work"' EXIT

fail() { echo "FAIL ($scenario): $*" >&2; sed 's/^/  quillon: /' "$work/log" >&2 2>/dev/null; exit 1; }
step() { echo "-- $*"; }

# until_ok WHAT COMMAND...: polls COMMAND until it succeeds; 60 s is far beyond a loaded machine's need.
until_ok() {
  local what=$1 end=$((SECONDS + 60))
  shift
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -lt $end ] || fail "timed out waiting for $what"
    sleep 0.05
  done
}

# Xvfb picks a free display itself and writes its number to fd 3 once it accepts clients. White root.
start_xvfb() {
  Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -wr -noreset 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  until_ok "Xvfb" test -s "$work/display"
  export DISPLAY=:$(cat "$work/display")
}

run() { "$QUILLON" "$@" >"$work/log" 2>&1 & quillon_pid=$!; step "quillon $*"; }
alive() { kill -0 "$quillon_pid" 2>/dev/null; }
gone() { ! alive; }
# ends: quillon ends by itself (or has ended), with exit code 0.
ends() {
  [ -n "$quillon_pid" ] || return 0
  until_ok "quillon to end" gone
  wait "$quillon_pid"
  local rc=$?
  quillon_pid=""
  [ $rc = 0 ] || fail "exit code $rc"
}
stop() { kill -"$1" "$quillon_pid"; ends; }

saver_window() { xdotool search --name '^SaverWindow$' | head -n1; }
viewable() { xwininfo -id "$1" | grep -q IsViewable; }
saver_viewable() { window=$(saver_window) && [ -n "$window" ] && viewable "$window"; }
no_own_window() { [ -z "$(saver_window)" ] || fail "quillon made a window of its own"; }

# value NAME COMMAND...: one NAME=value field of what the probe prints.
value() { local name=$1; shift; "$PROBE" "$@" | tr ' ' '\n' | sed -n "s/^$name=//p"; }
drawn() { [ "$(value nonblack picture "$@")" -ge 50 ]; }
untouched() { [ "$(value nonblack picture root 330 0 310 480)" -ge 990 ] || fail "quillon drew outside its window"; }
changed() { local before=$1; shift; [ "$(value hash picture "$@")" != "$before" ]; }
new_picture() { until_ok "a new picture in $1" changed "$(value hash picture "$@")" "$@"; }
# runs_on TARGET: two new pictures, so a whole turn of the loop came after the last input, and still alive.
runs_on() { new_picture "$@"; new_picture "$@"; alive || fail "quillon ended"; }

# mirror_test TARGET: the mean asymmetry (per-mille) across the ray straight down from the centre over
# three frames. Mirrored pictures measure 0, unmirrored ones 250 and more.
mirror_test() {
  local sum=0 line
  for _ in 1 2 3; do
    new_picture "$1"
    line=$("$PROBE" picture "$1")
    [ "$(sed 's/.*pairs=\([0-9]*\).*/\1/' <<<"$line")" -ge 100 ] || fail "too little drawn below the centre: $line"
    sum=$((sum + ${line##*asym=}))
  done
  echo $((sum / 3))
}
mirrored() { local a; a=$(mirror_test "$1") && [ "$a" -le 20 ] || fail "not mirrored: asymmetry $a"; }
unmirrored() { local a; a=$(mirror_test "$1") && [ "$a" -ge 100 ] || fail "mirrored: asymmetry $a"; }

# A mapped window of the test's own, gone when the probe is killed.
start_probe_window() {
  "$PROBE" window "$1" "$2" >"$work/probe.id" &
  probe_pid=$!
  until_ok "the probe window" test -s "$work/probe.id"
  probe_window=$(cat "$work/probe.id")
  until_ok "the probe window viewable" viewable "$probe_window"
}

start_saver() {
  xdotool mousemove 320 240
  run "$@" /s
  until_ok "the saver window" saver_viewable
  until_ok "a picture on the screen" drawn root
}

scenario_fullscreen() {
  start_probe_window 100 100
  start_saver
  local info want closer
  info=$(xwininfo -id "$window")
  for want in 'X:  0' 'Y:  0' 'Width: 640' 'Height: 480' 'Override Redirect State: yes'; do
    grep -q "$want" <<<"$info" || fail "the saver window lacks '$want'"
  done
  [ "$(value opaque cursor)" = 0 ] || fail "the cursor shows: $("$PROBE" cursor)"
  mirrored root
  step "consumed keys, moves of 50 on both axes and another client's close request keep it running"
  xdotool key m s 1 5 0 9 Left Right Up Down space m s mousemove 370 190 mousemove 270 290
  "$PROBE" close "$window"
  runs_on root
  xdotool key Escape
  ends
  for closer in 'xdotool key g' 'xdotool key Shift_L' 'xdotool click 1' 'xdotool click 3' \
    'xdotool mousemove 320 291' 'xdotool mousemove 269 240' 'xdotool windowfocus --sync $probe_window' \
    'stop TERM' 'stop INT'; do
    start_saver
    step "$closer ends it"
    eval "$closer"
    ends
  done

  step "stored: mirrors off; system: a threshold of 10, no grace period (no password service: it closes)"
  mkdir -p "$XDG_CONFIG_HOME/quillon"
  printf '[Software\\Ostrel\\Lanthorn Saver]\n"UseMirrors"=dword:00000000\n' >"$XDG_CONFIG_HOME/quillon/settings"
  printf '[Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers]\n"Mouse Threshold"=dword:0000000a\n%s\n' \
    '"Password Delay"=dword:00000000' >"$XDG_CONFIG_HOME/quillon/system-settings"
  start_saver
  unmirrored root
  xdotool mousemove 330 230
  runs_on root
  xdotool mousemove 330 251
  ends

  step "the X server going away ends it"
  start_saver
  kill "$xvfb_pid"
  ends
}

# start_in 'WINDOW [AREA]' ARGS...: quillon draws a new picture there, and input does not end it.
start_in() {
  local target=$1 before
  shift
  before=$(value hash picture $target)
  run "$@"
  until_ok "a picture from quillon in $target" changed "$before" $target
  xdotool mousemove 100 100 click 1 key x
  runs_on $target
  no_own_window
}

scenario_foreign() {
  start_probe_window 320 240
  local id=$probe_window form
  for form in "--window-id $id" "-window-id $((id))" "/p $((id))" "/l:$((id))"; do
    start_in "$id" $form
    untouched
    stop TERM
  done
  step "--root draws in XSCREENSAVER_WINDOW; --no-mirrors leaves the mirrored copies out"
  XSCREENSAVER_WINDOW=$id start_in "$id" --root --no-mirrors
  unmirrored "$id"
  untouched
  stop INT
  step "without XSCREENSAVER_WINDOW, on the root window"
  start_in "root 330 0 310 480" -root
  stop TERM
  step "it follows the window's size and ends with the window"
  start_in "$id" --window-id "$id"
  mirrored "$id"
  xdotool windowsize "$id" 480 360
  until_ok "a picture in the grown part" drawn "$id" 330 0 150 360
  kill "$probe_pid"
  ends
  [ ! -e "$XDG_CONFIG_HOME" ] || fail "settings were written"
}

scenario_try_out_window() {
  local closer
  for closer in 'xdotool key Escape' 'xdotool key q' '"$PROBE" close "$window"' 'stop TERM'; do
    run --window
    until_ok "the try-out window" saver_viewable
    xwininfo -id "$window" | grep -q 'Override Redirect State: no' || fail "the try-out window is not managed"
    until_ok "a picture in the try-out window" drawn "$window"
    xdotool mousemove 10 10 key m x g Return click 1
    runs_on "$window"
    step "$closer ends it"
    eval "$closer"
    ends
  done
}

# The dialog, viewable, focused and drawn; click X Y clicks into it.
dialog_ready() {
  dialog=$(xdotool search --name '^Config dialog$' | head -n1) && [ -n "$dialog" ] && viewable "$dialog" &&
    [ "$(xdotool getwindowfocus)" = "$dialog" ] && drawn "$dialog"
}
open_dialog() { run "$@"; until_ok "the config dialog" dialog_ready; }
click() { xdotool mousemove --window "$dialog" "$1" "$2" click 1; }
stored() {
  grep -qx "\"UseMirrors\"=dword:$1" "$XDG_CONFIG_HOME/quillon/settings" || fail "UseMirrors is not $1 as it should be"
}

scenario_config() {
  local switch cancel
  step "/a and unknown switches end at once without looking for a display"
  for switch in /a "/a 1234" /x //s --s -; do
    [ -z "$(unset DISPLAY; "$QUILLON" "$switch" 2>&1)" ] || fail "$switch did not end quietly"
  done
  step "after a change, Escape, Cancel, the close button, Cancel by keyboard or SIGTERM store nothing"
  for cancel in 'xdotool key Escape' 'click 290 48' '"$PROBE" close "$dialog"' 'stop TERM'; do
    open_dialog /c
    click 20 30
    eval "$cancel"
    ends
  done
  open_dialog /c
  xdotool key Tab Return
  ends
  [ ! -e "$XDG_CONFIG_HOME" ] || fail "reading the settings or a cancelled dialog wrote $(find "$XDG_CONFIG_HOME")"
  step "Return stores the value shown, on with nothing stored; the box and OK by mouse, then by keyboard"
  open_dialog
  xdotool key Return
  ends
  stored 00000001
  open_dialog /c
  click 20 30
  click 290 16
  ends
  stored 00000000
  open_dialog -c
  xdotool key Tab Tab space Return
  ends
  stored 00000001
}

command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v xwininfo >/dev/null ||
  fail "Xvfb, xdotool and xwininfo are needed (scripts/setup.sh installs them)"
declare -F "scenario_$scenario" >/dev/null || fail "no such scenario"
start_xvfb
"scenario_$scenario"
echo "PASS ($scenario)"
