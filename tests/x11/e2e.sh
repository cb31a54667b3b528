#!/usr/bin/env bash
# End-to-end tests of the quillon executable on a private Xvfb, driven with xdotool and read back with
# x11_probe: e2e.sh SCENARIO, with QUILLON and PROBE naming the two executables. Every step waits for a
# condition (a window viewable, a process gone, a picture that changed) with a bounded poll, never a fixed time.
set -uo pipefail
scenario=${1:?scenario}
work=$(mktemp -d /tmp/quillon-e2e.XXXXXX)
export XDG_CONFIG_HOME=$work/config
unset XSCREENSAVER_WINDOW
xvfb_pid="" quillon_pid="" probe_pid=""
trap 'kill $quillon_pid $probe_pid $xvfb_pid 2>/dev/null; wait; rm -rf "$work"' EXIT
fail() { echo "FAIL ($scenario): $*" >&2; sed 's/^/  quillon: /' "$work/log" >&2 2>/dev/null; exit 1; }
step() { echo "-- $*"; }

# until_ok WHAT COMMAND...: polls COMMAND until it succeeds; 60 s is far beyond what a loaded machine needs.
until_ok() {
  local what=$1 end=$((SECONDS + 60))
  shift
  until "$@" >/dev/null 2>&1; do [ $SECONDS -lt $end ] || fail "timed out waiting for $what"; sleep 0.05; done
}

run() { "${QUILLON:?}" "$@" >"$work/log" 2>&1 & quillon_pid=$!; step "quillon $*"; }
alive() { kill -0 "$quillon_pid" 2>/dev/null; }
# ends: quillon ends by itself (or has ended) with exit code 0.
ends() {
  [ -z "$quillon_pid" ] || until_ok "quillon to end" eval '! alive'
  [ -z "$quillon_pid" ] || wait "$quillon_pid" || fail "exit code $?"
  quillon_pid=""
}
stop() { kill -"$1" "$quillon_pid"; ends; }
# do_then_end ACTION: quillon ends after the shell command ACTION.
do_then_end() { step "$1"; eval "$1"; ends; }

viewable() { xwininfo -id "$1" | grep -q IsViewable; }
saver_window() { window=$(xdotool search --name '^SaverWindow$' | head -n1) && [ -n "$window" ] && viewable "$window"; }
# value NAME PROBE-ARGS...: one NAME=value field of what the probe prints.
value() { local name=$1; shift; "${PROBE:?}" "$@" | tr ' ' '\n' | sed -n "s/^$name=//p"; }
drawn() { [ "$(value nonblack picture "$@")" -ge 50 ]; }
changed() { local before=$1; shift; [ "$(value hash picture "$@")" != "$before" ]; }
new_picture() { until_ok "a new picture in $1" changed "$(value hash picture "$@")" "$@"; }
# runs_on TARGET: two new pictures, so a whole turn of the loop came after the last input; still alive.
runs_on() { new_picture "$@"; new_picture "$@"; alive || fail "quillon ended"; }

# asymmetry TARGET: per-mille of unlike pixel pairs across the ray straight down from the centre, over new
# frames until 600 pairs were seen: mirrored pictures give 0, unmirrored ones 250 and more.
asymmetry() {
  local pairs=0 unlike=0 frames=0 p u
  while [ $pairs -lt 600 ]; do
    [ $((frames += 1)) -le 30 ] || fail "too little drawn below the centre of $1"
    new_picture "$1"
    IFS=, read -r p u <<<"$(value mirror picture "$1")"
    pairs=$((pairs + p)) unlike=$((unlike + u))
  done
  echo $((unlike * 1000 / pairs))
}
mirrored() { local a; a=$(asymmetry "$1") && [ "$a" -le 20 ] || fail "not mirrored in $1: asymmetry $a"; }
unmirrored() { local a; a=$(asymmetry "$1") && [ "$a" -ge 100 ] || fail "mirrored in $1: asymmetry $a"; }

# A viewable window of the test's own, gone when the probe is killed.
start_probe_window() {
  "$PROBE" window "$1" "$2" >"$work/probe.id" & probe_pid=$!
  until_ok "the probe window" test -s "$work/probe.id"
  probe_window=$(cat "$work/probe.id")
  until_ok "the probe window viewable" viewable "$probe_window"
}

start_saver() {
  xdotool mousemove 320 240
  run "$@" /s
  until_ok "the saver window" saver_window
  until_ok "a picture on the screen" drawn root
}

scenario_fullscreen() {
  start_probe_window 100 100
  start_saver
  local want closer settings=$XDG_CONFIG_HOME/quillon
  for want in 'X:  0' 'Y:  0' 'Width: 640' 'Height: 480' 'Override Redirect State: yes'; do
    xwininfo -id "$window" | grep -q "$want" || fail "the saver window lacks '$want'"
  done
  [ "$(value opaque cursor)" = 0 ] || fail "the cursor shows"
  mirrored root
  step "consumed keys, moves of 50 on both axes and another client's close request keep it running"
  xdotool key m s 1 5 0 9 Left Right Up Down space m s mousemove 370 190 mousemove 270 290
  "$PROBE" close "$window"
  runs_on root
  for closer in 'xdotool key Escape' 'xdotool key g' 'xdotool key Shift_L' 'xdotool click 1' \
    'xdotool mousemove 320 291' 'xdotool windowfocus --sync $probe_window' 'stop TERM'; do
    [ -n "$quillon_pid" ] || start_saver
    do_then_end "$closer"
  done
  step "stored: mirrors off; system: a threshold of 10, no grace period (no password service: it closes)"
  mkdir -p "$settings"
  printf '[Software\\Ostrel\\Lanthorn Saver]\n"UseMirrors"=dword:00000000\n' >"$settings/settings"
  printf '[Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers]\n"Mouse Threshold"=dword:0000000a
"Password Delay"=dword:00000000\n' >"$settings/system-settings"
  start_saver
  unmirrored root
  xdotool mousemove 330 230
  runs_on root
  do_then_end 'xdotool mousemove 330 251'
  start_saver
  do_then_end 'kill $xvfb_pid'
}

# start_in 'WINDOW [AREA]' ARGS...: quillon draws a new picture there, input does not end it, and it has
# no window of its own.
start_in() {
  local target=$1 before
  shift
  before=$(value hash picture $target)
  run "$@"
  until_ok "a picture from quillon in $target" changed "$before" $target
  xdotool mousemove 100 100 click 1 key x
  runs_on $target
  ! saver_window || fail "quillon made a window of its own"
}
untouched() { [ "$(value nonblack picture root 330 0 310 480)" = 1000 ] || fail "quillon drew outside its window"; }

scenario_foreign() {
  start_probe_window 320 240
  local id=$probe_window
  start_in "$id" /p $((id))
  untouched
  stop TERM
  step "--root draws in XSCREENSAVER_WINDOW; --no-mirrors leaves the mirrored copies out"
  XSCREENSAVER_WINDOW=$id start_in "$id" --root --no-mirrors
  unmirrored "$id"
  untouched
  stop INT
  step "without XSCREENSAVER_WINDOW, on the root window"
  start_in "root 330 0 310 480" -root
  stop TERM
  step "it follows the window's size and ends with the window"
  start_in "$id" -window-id $((id))
  xdotool windowsize "$id" 480 360
  until_ok "a picture in the grown part" drawn "$id" 330 0 150 360
  mirrored "$id"
  do_then_end 'kill $probe_pid'
  [ ! -e "$XDG_CONFIG_HOME" ] || fail "settings were written"
}

scenario_try_out_window() {
  local closer
  for closer in 'xdotool key Escape' 'xdotool key q' '"$PROBE" close "$window"'; do
    run --window
    until_ok "the try-out window" saver_window
    xwininfo -id "$window" | grep -q 'Override Redirect State: no' || fail "the try-out window is not managed"
    until_ok "a picture in the try-out window" drawn "$window"
    xdotool mousemove 10 10 key m x g Return click 1
    runs_on "$window"
    do_then_end "$closer"
  done
}

# dialog ARGS ACTION: opens the dialog with ARGS, waits until it is viewable, focused and drawn, then runs
# ACTION, after which it must end. click X Y clicks into it.
dialog_ready() {
  dialog=$(xdotool search --name '^Config dialog$' | head -n1) && [ -n "$dialog" ] && viewable "$dialog" &&
    [ "$(xdotool getwindowfocus)" = "$dialog" ] && drawn "$dialog"
}
dialog() { run $1; until_ok "the config dialog" dialog_ready; do_then_end "$2"; }
click() { xdotool mousemove --window "$dialog" "$1" "$2" click 1; }
stored() { grep -qx "\"UseMirrors\"=dword:$1" "$XDG_CONFIG_HOME/quillon/settings" || fail "UseMirrors is not $1"; }

scenario_config() {
  local switch cancel
  step "/a and unknown switches end at once without looking for a display"
  for switch in "/a 1234" /x -; do
    [ -z "$(unset DISPLAY; "$QUILLON" "$switch" 2>&1)" ] || fail "$switch did not end quietly"
  done
  for cancel in 'click 20 30; xdotool key Escape' 'click 20 30; click 290 48' 'click 20 30; stop TERM' \
    'click 20 30; "$PROBE" close "$dialog"' 'xdotool key Tab Return'; do
    dialog /c "$cancel"
  done
  [ ! -e "$XDG_CONFIG_HOME" ] || fail "reading the settings or a cancelled dialog wrote $(find "$XDG_CONFIG_HOME")"
  step "OK stores the box: on as shown with nothing stored, off by mouse, on by keyboard"
  dialog '' 'xdotool key Return' && stored 00000001
  dialog /c 'click 20 30; click 290 16' && stored 00000000
  dialog -c 'xdotool key Tab Tab space Return' && stored 00000001
}

declare -F "scenario_$scenario" >/dev/null || fail "no such scenario"
Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp -wr -noreset 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
until_ok "Xvfb to accept clients" test -s "$work/display"
export DISPLAY=:$(cat "$work/display")
"scenario_$scenario"
echo "PASS ($scenario)"
