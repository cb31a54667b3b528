#!/usr/bin/env bash
# End-to-end tests of the quillon executable on a private Xvfb, driven with xdotool and read back with
# x11_probe: e2e.sh SCENARIO, with QUILLON and PROBE naming the two executables. Every step waits for a
# condition (a window viewable, a process gone, a picture that changed) with a bounded poll, never a fixed time.
# shellcheck disable=SC2015,SC2016  # "a && b || fail" is meant (fail exits); actions are quoted for eval
set -uo pipefail
scenario=${1:?scenario}
work=$(mktemp -d /tmp/quillon-e2e.XXXXXX)
# Settings go to $HOME/.config/quillon: a relative XDG_CONFIG_HOME does not count.
export HOME=$work XDG_CONFIG_HOME=relative
xvfb_pid="" quillon_pid="" probe_pid="" reaper_pid=""
trap 'kill $quillon_pid $probe_pid $reaper_pid $xvfb_pid 2>/dev/null; wait; rm -rf "$work"' EXIT
fail() { echo "FAIL ($scenario): $*" >&2; sed 's/^/  quillon: /' "$work/log" >&2 2>/dev/null; exit 1; }

# until_ok WHAT COMMAND...: polls COMMAND until it succeeds; 60 s is far beyond what a loaded machine needs.
until_ok() {
  local what=$1 end=$((SECONDS + 60)); shift
  until "$@" >/dev/null 2>&1; do [ $SECONDS -lt $end ] || fail "timed out waiting for $what"; sleep 0.05; done
}

run() { "${QUILLON:?}" "$@" >"$work/log" 2>&1 & quillon_pid=$!; echo "-- quillon $*"; }
alive() { kill -0 "$quillon_pid" 2>/dev/null; }
# ends: quillon ends by itself (or has ended) with exit code 0. do_then_end ACTION: it ends after ACTION.
ends() {
  [ -z "$quillon_pid" ] || { until_ok "quillon to end" eval '! alive'; wait "$quillon_pid" || fail "exit code $?"; }
  quillon_pid=""
}
do_then_end() { echo "-- $1"; eval "$1"; ends; }
stop() { kill -"$1" "$quillon_pid"; ends; }

viewable() { xwininfo -id "$1" | grep -q IsViewable; }
# saver_window TITLE: quillon's own window, full screen or the try-out window, is viewable.
saver_window() { window=$(xdotool search --name "^$1\$" | head -n1) && [ -n "$window" ] && viewable "$window"; }
# value NAME PROBE-ARGS...: one NAME=value field of what the probe prints.
value() { local name=$1; shift; "${PROBE:?}" "$@" | tr ' ' '\n' | sed -n "s/^$name=//p"; }
drawn() { [ "$(value nonblack picture "$@")" -ge 50 ]; }
# The glow lays a grey haze between the discs, some 250 per mille of the picture, and beyond them: without it
# the band 40 pixels wide at the left, outside the circle the discs keep to, is black.
hazy() { [ "$(value haze picture "$1")" -ge 80 ]; }
dull() { local haze; haze=$(value haze picture "$1" 0 0 40 0) && [ "$haze" = 0 ] || fail "a glow in $1: $haze"; }
# readout TARGET HEIGHT: the frame-rate lines are in the lower left corner.
readout() { [ "$(value nonblack picture "$1" 0 $(($2 - 36)) 100 36)" -ge 50 ]; }
changed_or_ended() { local before=$1; shift; ! alive || [ "$(value hash picture "$@")" != "$before" ]; }
# new_picture TARGET: quillon draws a picture different from the one there now.
new_picture() {
  until_ok "a new picture in $1" changed_or_ended "$(value hash picture "$@")" "$@" && alive || fail "quillon ended"
}
# runs_on TARGET: two new pictures, so a whole turn of the loop came after the last input.
runs_on() { new_picture "$@"; new_picture "$@"; }

# asymmetry TARGET [FRAMES]: per-mille of unlike pixel pairs across the ray straight down from the centre,
# over at least FRAMES new frames (1) and until 600 pairs were seen. Mirrored pictures give 0; unmirrored ones
# mostly 250 and more, but a pile of discs straddling the ray looks alike on both sides for a while (66 seen
# once), so the unmirrored check watches the field move for a few seconds.
asymmetry() {
  local pairs=0 unlike=0 frames=0 p u
  while { [ $pairs -lt 600 ] || [ $frames -lt "${2:-1}" ]; } && [ $((frames += 1)) -le 90 ]; do
    new_picture "$1" && IFS=, read -r p u <<<"$(value mirror picture "$1")" && ((pairs += p, unlike += u))
  done
  [ $pairs -ge 600 ] || fail "too little drawn below the centre of $1"
  echo $((unlike * 1000 / pairs))
}
mirrored() { local a; a=$(asymmetry "$1") && [ "$a" -le 20 ] || fail "not mirrored in $1: asymmetry $a"; }
unmirrored() { local a; a=$(asymmetry "$1" 40) && [ "$a" -ge 50 ] || fail "mirrored in $1: asymmetry $a"; }

# A viewable window of the test's own, at 0,0 and gone when the probe is killed.
probe_viewable() { probe=$(cat "$work/probe.id") && [ -n "$probe" ] && viewable "$probe"; }
start_probe_window() {
  "$PROBE" window "$1" "$2" >"$work/probe.id" & probe_pid=$!
  until_ok "the probe window" probe_viewable
}

saver_drawn() { saver_window SaverWindow && drawn root; }
start_saver() {
  xdotool mousemove 320 240 && run /s "$@"
  until_ok "the saver window and a picture on it" saver_drawn
}

scenario_fullscreen() {
  start_probe_window 100 100
  start_saver
  local closer settings=$HOME/.config/quillon
  [ "$(xwininfo -id "$window" | grep -cE 'geometry 640x480\+0\+0$|Redirect State: yes$')" = 2 ] ||
    fail "the saver window is not an unmanaged window over the whole screen"
  [ "$(value opaque cursor)" = 0 ] || fail "the cursor shows"
  mirrored root
  # Consumed keys (the keypad's arrows with Num Lock off too), moves of 50 on both axes, the wheel and
  # another client's close request keep it running
  xdotool key m s 1 5 0 9 Left Right Up Down KP_Left KP_Up space m s mousemove 370 190 mousemove 270 290 \
    click 4 click 5
  "$PROBE" close "$window"
  runs_on root
  # The digit row goes by position on AZERTY and Czech layouts too (the keys showing these), letters by symbol
  for layout in 'fr ampersand eacute quotedbl apostrophe parenleft minus egrave underscore ccedilla agrave m' \
    'cz plus ecaron scaron ccaron rcaron zcaron yacute aacute iacute eacute m'; do
    read -ra keys <<<"$layout"
    setxkbmap "${keys[0]}" && xdotool key "${keys[@]:1}" && runs_on root
  done
  local root_id
  root_id=$(xwininfo -root | awk '/Window id:/ {print $4}')
  for closer in 'xdotool key Escape' 'xdotool key g' 'xdotool key Shift_L' 'xdotool click 1' \
    'xdotool mousemove 320 291' 'xdotool windowfocus --sync $probe' 'xdotool windowfocus --sync $root_id' \
    'stop TERM'; do
    [ -n "$quillon_pid" ] || start_saver
    do_then_end "$closer"
  done
  # Stored: mirrors off; system settings: a threshold of 10, no grace period (no password service: it closes)
  mkdir -p "$settings"
  printf '[Software\\Ostrel\\Lanthorn Saver]\n"UseMirrors"=dword:00000000\n' >"$settings/settings"
  printf '[Software\\Microsoft\\Windows\\CurrentVersion\\Screen Savers]\n"Mouse Threshold"=dword:0000000a
"Password Delay"=dword:00000000\n' >"$settings/system-settings"
  start_saver
  unmirrored root
  xdotool mousemove 330 230
  runs_on root
  do_then_end 'xdotool mousemove 330 251'
  start_saver --mirrors
  mirrored root
  # The keypad by raw key codes (XTest: no Shift of the sender's own). With Num Lock off its arrows are arrows;
  # Num Lock is a key like any other; with it on, the keypad's digits are its own, not the digit row: no commands
  "$PROBE" keys KP_4 KP_8 KP_6 KP_2 && runs_on root
  do_then_end '"$PROBE" keys Num_Lock'
  start_saver
  do_then_end '"$PROBE" keys KP_4'
  # The X server going away: at once, one line saying so and status 1
  start_saver
  kill "$xvfb_pid"
  until_ok "quillon to end" eval '! alive'
  wait "$quillon_pid"
  local status=$? expected="quillon: lost the connection to the X display $DISPLAY"
  [ "$status" = 1 ] && [ "$(cat "$work/log")" = "$expected" ] || fail "status $status after the server went away"
  quillon_pid=""
}

# start_in WINDOW ARGS...: quillon draws a new picture in WINDOW (or on the root), input does not end it, it
# has no window of its own, and the root right of the probe's window is still white.
start_in() {
  local target=$1 before
  before=$(value hash picture "$target")
  run "${@:2}"
  until_ok "a picture from quillon in $target" changed_or_ended "$before" "$target"
  xdotool mousemove 100 100 click 1 key x
  runs_on "$target"
  ! xdotool search --classname '^quillon$' || fail "quillon made a window of its own"
  [ "$target" = root ] || [ "$(value nonblack picture root 330 0 310 480)" = 1000 ] || fail "quillon drew outside"
}

scenario_foreign() {
  start_probe_window 320 240
  start_in "$probe" /p $((probe))
  until_ok "the glow" hazy "$probe"
  stop TERM
  # --root draws in XSCREENSAVER_WINDOW; --no-mirrors leaves the mirrored copies out
  XSCREENSAVER_WINDOW=$probe start_in "$probe" --root --no-mirrors
  unmirrored "$probe"
  stop INT
  # --window-id wins over --root; --fps adds the readout, --no-glow leaves the glow out. It follows the
  # window's size and ends with it.
  XSCREENSAVER_WINDOW=$(xwininfo -root | awk '/Window id:/ {print $4}') \
    start_in "$probe" --root -window-id "$(printf 0X%X $((probe)))" --fps --no-glow
  until_ok "the frame-rate readout" readout "$probe" 240
  dull "$probe"
  xdotool windowsize "$probe" 480 360
  until_ok "a picture in the grown part" drawn "$probe" 330 0 150 360
  until_ok "the readout in the new corner" readout "$probe" 360
  mirrored "$probe"
  do_then_end 'kill $probe_pid'
  # Without XSCREENSAVER_WINDOW, on the root window
  start_in root -root
  stop TERM
  [ ! -e "$HOME/.config" ] || fail "settings were written"
}

# M (back on) and S (glow off) change the running scene; a new size keeps it, with the viewport centred in the
# window (and no readout without --fps); then Escape ends it.
resized_then_escape() {
  xdotool key m s windowsize "$window" 400 300
  runs_on "$window"
  mirrored "$window" && dull "$window"
  ! readout "$window" 300 || fail "a readout without --fps"
  xdotool key Escape
}

scenario_try_out_window() {
  local closer
  for closer in resized_then_escape 'xdotool key q' '"$PROBE" close "$window"'; do
    run --window
    until_ok "the try-out window" saver_window Quillon
    xwininfo -id "$window" | grep -q 'Override Redirect State: no' || fail "the try-out window is not managed"
    xdotool mousemove 10 10 key m x g Return click 1
    runs_on "$window"
    do_then_end "$closer"
  done
}

# dialog ARGS ACTION: opens the dialog with ARGS, waits until it is viewable, focused and drawn, runs
# ACTION and waits for the end. click X Y clicks into it.
dialog_ready() {
  dialog=$(xdotool search --name '^Config dialog$' | head -n1) && [ -n "$dialog" ] && viewable "$dialog" &&
    [ "$(xdotool getwindowfocus)" = "$dialog" ] && drawn "$dialog"
}
dialog() { run $1; until_ok "the config dialog" dialog_ready; do_then_end "$2"; }
click() { xdotool mousemove --window "$dialog" "$1" "$2" click 1; }
stored() { grep -qx "\"UseMirrors\"=dword:$1" "$HOME/.config/quillon/settings" || fail "UseMirrors is not $1"; }

scenario_config() {
  local switch cancel
  # /a and unknown switches end at once without looking for a display
  for switch in "/a 1234" /x -; do
    [ -z "$(unset DISPLAY; "$QUILLON" "$switch" 2>&1)" ] || fail "$switch did not end quietly"
  done
  # --version wins over what else is on the line: the version CMake gives, on stdout, and exit status 0
  (unset DISPLAY; "$QUILLON" --fps --version /s --window >"$work/out" 2>"$work/err")
  [ $? = 0 ] && printf 'quillon %s\n' "${QUILLON_VERSION:?}" | cmp -s - "$work/out" && [ ! -s "$work/err" ] ||
    fail "--version: $(cat "$work/out" "$work/err")"
  # Unknown options: a line naming the option and the usage on stderr, exit status 1
  for switch in --verbose -fsp --no-mirror; do
    (unset DISPLAY; "$QUILLON" --fps "$switch" --window 2>"$work/err" >/dev/null)
    [ $? = 1 ] && [ "$(head -n2 "$work/err")" = "quillon: unknown option $switch
Usage: quillon [options]" ] || fail "$switch: $(cat "$work/err")"
  done
  # A window id is a whole decimal or 0x number of 1 to 32 bits
  for switch in 0 12x 0x100000000; do
    (unset DISPLAY; "$QUILLON" --window-id "$switch" 2>"$work/err" >/dev/null)
    [ $? = 1 ] && grep -q "needs a window id" "$work/err" || fail "--window-id $switch: $(cat "$work/err")"
  done
  for cancel in 'click 20 30; xdotool key Escape' 'click 20 30; click 290 48' 'click 20 30; stop TERM' \
    'click 20 30; "$PROBE" close "$dialog"' 'xdotool key Tab Return'; do
    dialog /c "$cancel"
  done
  [ ! -e "$HOME/.config" ] || fail "reading the settings or a cancelled dialog wrote $(find "$HOME/.config")"
  # /c alone belongs to the active window, /c ID to the window given
  start_probe_window 50 50
  "$PROBE" active "$probe"
  dialog /c 'xprop -id $dialog WM_TRANSIENT_FOR | grep -q "window id # $probe\$" || fail "not owned by $probe"; xdotool key Escape'
  dialog "/c:$((probe))" 'xprop -id $dialog WM_TRANSIENT_FOR | grep -q "window id # $probe\$" || fail "not owned"; xdotool key Escape'
  kill "$probe_pid"
  # OK stores the box: on as shown with nothing stored (--no-mirrors is for drawing, not for the dialog),
  # off by mouse, on by keyboard
  # (run from a directory with a blank in its name, which must not split the program's path)
  mkdir -p "$work/a b" && ln -sf "$QUILLON" "$work/a b/quillon"
  QUILLON="$work/a b/quillon" dialog --no-mirrors 'xdotool key Return' && stored 00000001
  dialog /c 'click 20 30; click 290 16' && stored 00000000
  dialog -c 'xdotool key Tab Tab space Return' && stored 00000001
}

# The installed hack under Debian's xscreensaver daemon, which refuses to run as root: then it runs as nobody,
# on a copy of the install root that nobody can reach. A wrapper passes the daemon's SIGTERM on and
# records the hack's exit status.
scenario_xscreensaver() {
  local as=() hack=$work/package/usr/libexec/xscreensaver/quillon
  [ "$(id -u)" != 0 ] || as=(runuser -u nobody --)
  chmod 755 "$work" && mkdir -m 777 "$work/daemon" && cp -r "${INSTALL_ROOT:?}" "$work/package"
  printf '#!/bin/sh\n"%s" "$@" & trap "kill \\$!" TERM\nwait $!; s=$?; [ $s -le 128 ] || { wait $!; s=$?; }
echo $s >"%s"\n' "$hack" "$work/daemon/status" >"$work/hack" && chmod 755 "$work/hack"
  printf 'mode: one\nselected: 0\nlock: False\nfade: False\nunfade: False\nsplash: False\nprograms: GL: %s --root\n' \
    "$work/hack" >"$work/daemon/.xscreensaver"
  "${as[@]}" env HOME="$work/daemon" xscreensaver >"$work/log" 2>&1 &
  until_ok "the daemon to blank the screen" xscreensaver-command -activate
  until_ok "the hack to start" eval 'quillon_pid=$(pgrep -n -f "^$hack --root")'
  until_ok "a picture on xscreensaver's window" drawn root
  runs_on root
  xscreensaver-command -deactivate
  until_ok "the hack to end" eval '! alive && [ -s "$work/daemon/status" ]'
  [ "$(cat "$work/daemon/status")" = 0 ] || fail "exit status $(cat "$work/daemon/status")"
  quillon_pid=""
}

# XSecureLock's saver_multiplex as the locker starts it: XSCREENSAVER_WINDOW names a window of the test's own and
# XSECURELOCK_SAVER the built hack. It makes a window inside ours for each monitor and starts the saver with -root
# and that window's id, in decimal, in XSCREENSAVER_WINDOW. It does not wait for its savers; the probe, as their
# reaper, reports quillon's exit status.
saver_started() {
  multiplex_pid=$(pgrep -P "$reaper_pid") && quillon_pid=$(pgrep -P "$multiplex_pid") &&
    [ "$(tr '\0' ' ' <"/proc/$quillon_pid/cmdline")" = "$QUILLON -root " ]
}
scenario_xsecurelock() {
  local multiplex multiplex_pid given
  multiplex=$(dpkg -L xsecurelock | grep '/saver_multiplex$') || fail "no saver_multiplex: install xsecurelock"
  start_probe_window 320 240
  XSCREENSAVER_WINDOW=$((probe)) XSECURELOCK_SAVER=$QUILLON "$PROBE" reap "$multiplex" >"$work/ended" 2>"$work/log" &
  reaper_pid=$!
  until_ok "saver_multiplex to start quillon -root" saver_started
  given=$(tr '\0' '\n' <"/proc/$quillon_pid/environ" | sed -n 's/^XSCREENSAVER_WINDOW=//p')
  [[ $given =~ ^[1-9][0-9]*$ ]] && xwininfo -children -id "$given" | grep -q "Parent window id: $probe " ||
    fail "XSCREENSAVER_WINDOW=$given is not a window inside $probe"
  until_ok "a picture in the window saver_multiplex gave" drawn "$given"
  runs_on "$given"
  [ "$(value nonblack picture root 330 0 310 480)" = 1000 ] || fail "quillon drew outside the window it was given"
  kill -TERM "$multiplex_pid"
  until_ok "quillon to end" grep -q "^$quillon_pid " "$work/ended"
  grep -qx "$quillon_pid 0" "$work/ended" || fail "exit status $(grep "^$quillon_pid " "$work/ended")"
  until_ok "saver_multiplex to end" eval '! kill -0 $reaper_pid'
  quillon_pid=""
}

# whole_copy X Y W H: the monitor at X,Y, W x H on the root shows one whole copy of the picture: mirror-
# symmetric about its own vertical centre line, its centre of brightness in its middle, the logo in its lower
# right corner. The figures go to $work/figures.
whole_copy() {
  local out pairs unlike cx cy logo
  out=$("$PROBE" picture root "$@" | tr ' ' '\n')
  IFS=, read -r pairs unlike <<<"$(sed -n 's/^whole=//p' <<<"$out")"
  IFS=, read -r cx cy <<<"$(sed -n 's/^centre=//p' <<<"$out")"
  logo=$(sed -n 's/^logo=//p' <<<"$out")
  echo "monitor $3x$4+$1+$2: $unlike of $pairs mirrored pairs unlike, centre at $cx,$cy per mille, logo $logo pixels" \
    >"$work/figures"
  [ "$pairs" -ge 1000 ] && [ $((unlike * 1000 / pairs)) -le 5 ] && [ $(((cx - 500) ** 2 + (cy - 500) ** 2)) -le 100 ] &&
    [ "$logo" -ge 200 ]
}
copy_on() { until_ok "a whole copy on the monitor $3x$4+$1+$2" whole_copy "$@"; cat "$work/figures"; }
black() { [ "$(value nonblack picture root "$@")" = 0 ] || fail "drawn outside the monitors: $*"; }
set_monitor() { xrandr --delmonitor "$1" >/dev/null 2>&1; xrandr --setmonitor "$1" "$2" "$3" >/dev/null; }

# Two monitors of different sizes side by side, as RandR 1.5 monitors on an Xvfb screen 1824 x 768: a copy on
# each, input on the second as on the first, and a new layout on a screen change without a restart. Then
# Xephyr with Xinerama, where RandR sees one monitor and Xinerama two.
scenario_monitors() {
  set_monitor left 1024/270x768/200+0+0 screen && set_monitor right 800/210x600/160+1024+0 none
  [ "$(xrandr --listmonitors | head -n1)" = "Monitors: 2" ] || fail "no RandR monitors: $(xrandr --listmonitors)"
  xdotool mousemove 1400 300 && run /s
  until_ok "the saver window and a picture on it" saver_drawn
  copy_on 0 0 1024 768 && copy_on 1024 0 800 600 && black 1024 600 800 168
  # A digit on the second monitor is consumed; the monitor moves down, and the next screen change (its output
  # switched off and on) lays the same window out again
  local first=$window
  xdotool key 5 && runs_on root
  set_monitor right 800/210x600/160+1024+168 none && xrandr --fb 1824x768 --output screen --off &&
    xrandr --output screen --mode 1824x768 --pos 0x0 || fail "xrandr could not switch the output off and on"
  copy_on 1024 168 800 600 && black 1024 0 800 168
  saver_window SaverWindow && [ "$window" = "$first" ] || fail "a new window after the screen change"
  do_then_end 'xdotool mousemove 1400 351'
  xdotool mousemove 1400 300 && run /s && until_ok "the saver again" saver_drawn
  do_then_end 'xdotool key x'

  local xephyr_pid
  Xephyr -displayfd 3 +xinerama -screen 1024x768 -screen 800x600 -nolisten tcp -noreset 3>"$work/xephyr" \
    2>"$work/xephyr.log" & xephyr_pid=$!
  until_ok "Xephyr to accept clients" test -s "$work/xephyr"
  DISPLAY=:$(cat "$work/xephyr")
  [ "$(xrandr --listmonitors 2>/dev/null | head -n1)" = "Monitors: 1" ] && [ "$(xdpyinfo -ext XINERAMA | grep -c 'head #')" = 2 ] ||
    fail "Xephyr does not show one RandR monitor and two Xinerama heads"
  run /s && until_ok "the saver on Xephyr" saver_drawn
  # GLX reaches only Xephyr's first screen: the copy there is centred on that monitor, not on both
  copy_on 0 0 1024 768
  stop TERM
  kill "$xephyr_pid"
}

declare -F "scenario_$scenario" >/dev/null || fail "no such scenario"
screen=640x480
[ "$scenario" != monitors ] || screen=1824x768
Xvfb -displayfd 3 -screen 0 ${screen}x24 -nolisten tcp -wr -noreset 3>"$work/display" 2>"$work/xvfb.log" & xvfb_pid=$!
until_ok "Xvfb to accept clients" test -s "$work/display"
DISPLAY=:$(cat "$work/display") && export DISPLAY
"scenario_$scenario"
echo "PASS ($scenario)"
