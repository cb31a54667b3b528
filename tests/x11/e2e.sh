#!/usr/bin/env bash
# End-to-end tests of the quillon executable on a private Xvfb, driven with xdotool and read back with
# x11_probe. One scenario per call: e2e.sh SCENARIO (QUILLON and PROBE name the two executables).
# Every wait polls with a time limit; nothing waits for the program by sleeping a fixed time.
set -uo pipefail

scenario=${1:?scenario}
: "${QUILLON:?path of quillon}" "${PROBE:?path of x11_probe}"
shots=${QUILLON_X11_SHOTS:-}

work=$(mktemp -d /tmp/quillon-e2e.XXXXXX)
export XDG_CONFIG_HOME=$work/config
unset XSCREENSAVER_WINDOW
xvfb_pid="" quillon_pid="" probe_pid=""

cleanup() {
  for pid in $quillon_pid $probe_pid $xvfb_pid; do kill "$pid" 2>/dev/null; done
  for pid in $quillon_pid $probe_pid $xvfb_pid; do wait "$pid" 2>/dev/null; done
  rm -rf "$work"
}
trap cleanup EXIT

fail() {
  echo "FAIL ($scenario): $*" >&2
  [ -s "$work/quillon.log" ] && sed 's/^/  quillon: /' "$work/quillon.log" >&2
  exit 1
}
step() { echo "-- $*"; }

# wait_for SECONDS DESCRIPTION COMMAND...: polls COMMAND until it succeeds.
wait_for() {
  local limit=$1 what=$2
  shift 2
  local end=$((SECONDS + limit))
  until "$@" >/dev/null 2>&1; do
    [ $SECONDS -ge $end ] && fail "timed out after ${limit}s waiting for $what"
    sleep 0.05
  done
}

# A display of its own among :90 to :99 (or QUILLON_XVFB_FIRST..LAST), white root so uncovered parts show.
start_xvfb() {
  local n
  for n in $(seq "${QUILLON_XVFB_FIRST:-90}" "${QUILLON_XVFB_LAST:-99}"); do
    [ -e "/tmp/.X$n-lock" ] && continue
    # The server writes its display number to fd 3 once it is ready; one that lost the display exits.
    : >"$work/ready"
    Xvfb ":$n" -displayfd 3 -screen 0 640x480x24 -nolisten tcp -wr -noreset 3>"$work/ready" >"$work/xvfb.log" 2>&1 &
    xvfb_pid=$!
    local end=$((SECONDS + 15))
    while kill -0 "$xvfb_pid" 2>/dev/null && [ $SECONDS -lt $end ]; do
      if [ -s "$work/ready" ]; then
        export DISPLAY=":$n"
        step "Xvfb on :$n"
        return
      fi
      sleep 0.05
    done
    kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null; xvfb_pid=""
  done
  fail "no free display for Xvfb"
}

start_quillon() {
  "$QUILLON" "$@" >"$work/quillon.log" 2>&1 &
  quillon_pid=$!
  step "quillon $*"
}
alive() { kill -0 "$quillon_pid" 2>/dev/null; }
exited() { ! alive; }
# expect_exit SECONDS: quillon ends by itself within the limit, with exit code 0.
expect_exit() {
  wait_for "$1" "quillon to exit" exited
  wait "$quillon_pid"
  local rc=$?
  quillon_pid=""
  [ $rc -eq 0 ] || fail "quillon exited with $rc"
}
expect_running() { alive || fail "quillon ended early"; }

saver_window() { xdotool search --name '^SaverWindow$' 2>/dev/null | head -n1; }
viewable() { xwininfo -id "$1" 2>/dev/null | grep -q 'Map State: IsViewable'; }
saver_viewable() { local w; w=$(saver_window) && [ -n "$w" ] && viewable "$w"; }
no_saver_window() { [ -z "$(saver_window)" ]; }

# field NAME TARGET [X Y W H]: one value of the probe's reading of a window's pixels.
field() {
  local name=$1
  shift
  "$PROBE" picture "$@" | tr ' ' '\n' | sed -n "s/^$name=//p"
}
drawn() { local v; v=$(field nonblack "$@") && [ "${v:-0}" -ge 50 ]; }
differs_from() { local h=$1 now; shift; now=$(field hash "$@") && [ -n "$now" ] && [ "$now" != "$h" ]; }
# wait_moving TARGET: the picture changes twice, so at least two frames were drawn after the call.
wait_moving() {
  for _ in 1 2; do
    local h
    h=$(field hash "$@")
    wait_for 20 "the picture in $1 to change" differs_from "$h" "$@"
  done
}
shot() { [ -n "$shots" ] && mkdir -p "$shots" && import -window root "$shots/$scenario-$1.png"; return 0; }

# A window of the test's own, made by x11_probe and gone when the probe is ended.
start_probe_window() {
  "$PROBE" window "$1" "$2" >"$work/probe.id" &
  probe_pid=$!
  wait_for 10 "the probe window" test -s "$work/probe.id"
  probe_window=$(cat "$work/probe.id")
}
end_probe_window() {
  kill "$probe_pid"
  wait "$probe_pid" 2>/dev/null
  probe_pid=""
}

start_saver() {
  xdotool mousemove 320 240
  start_quillon /s
  wait_for 20 "the saver window" saver_viewable
  wait_for 20 "a picture on the screen" drawn root
}

settings_file() { echo "$XDG_CONFIG_HOME/quillon/settings"; }

# ---------------------------------------------------------------------------------------------------------

scenario_fullscreen() {
  start_saver
  local window info
  window=$(saver_window)
  info=$(xwininfo -id "$window")
  grep -q 'Width: 640' <<<"$info" && grep -q 'Height: 480' <<<"$info" || fail "window is not screen-sized: $info"
  grep -q 'Absolute upper-left X:  0' <<<"$info" && grep -q 'Absolute upper-left Y:  0' <<<"$info" ||
    fail "window is not at 0,0"
  grep -q 'Override Redirect State: yes' <<<"$info" || fail "window is managed"
  [ "$(field white root)" -le 20 ] || fail "the white root shows through: $("$PROBE" picture root)"
  wait_moving root
  shot moving
  step "an unconsumed key ends it"
  xdotool key x
  expect_exit 10
  no_saver_window || fail "the window outlived the process"
}

scenario_consumed_keys() {
  start_saver
  local key
  for key in m s 1 5 0 9 Left Right Up Down space m s; do xdotool key "$key"; done
  wait_moving root
  expect_running
  shot after-keys
  step "a move of up to the threshold (50) on both axes keeps it running"
  xdotool mousemove 370 190
  xdotool mousemove 270 290
  wait_moving root
  expect_running
  step "a close request from another client before any closing input is ignored"
  "$PROBE" close "$(saver_window)"
  wait_moving root
  expect_running
  step "Escape ends it"
  xdotool key Escape
  expect_exit 10
}

scenario_closing_input() {
  step "a click"
  start_saver
  xdotool click 1
  expect_exit 10

  step "a right click with Shift held"
  start_saver
  xdotool keydown Shift_L click 3 keyup Shift_L
  expect_exit 10

  step "G, a tuning key the scene does not consume"
  start_saver
  xdotool key g
  expect_exit 10

  step "moving 51 pixels on one axis"
  start_saver
  xdotool mousemove 320 291
  expect_exit 10

  step "the system values: a threshold of 10, no grace period (no password service, so it closes)"
  mkdir -p "$XDG_CONFIG_HOME/quillon"
  printf '%s\n' '[Software\Microsoft\Windows\CurrentVersion\Screen Savers]' \
    '"Mouse Threshold"=dword:0000000a' '"Password Delay"=dword:00000000' >"$XDG_CONFIG_HOME/quillon/system-settings"
  start_saver
  xdotool mousemove 330 230
  wait_moving root
  expect_running
  xdotool mousemove 330 251
  expect_exit 10
  rm "$XDG_CONFIG_HOME/quillon/system-settings"

  step "losing the focus to another window"
  start_probe_window 100 100
  start_saver
  xdotool windowfocus "$probe_window"
  expect_exit 10
  end_probe_window
}

scenario_signals() {
  local signal
  for signal in TERM INT; do
    start_saver
    step "SIG$signal"
    kill -"$signal" "$quillon_pid"
    expect_exit 10
    no_saver_window || fail "the window outlived the process"
  done
  start_quillon --window
  wait_for 20 "the try-out window" saver_viewable
  kill -TERM "$quillon_pid"
  expect_exit 10

  step "the X server going away"
  start_saver
  kill "$xvfb_pid"
  wait "$xvfb_pid"
  xvfb_pid=""
  expect_exit 10
}

scenario_window_id() {
  start_probe_window 320 240
  local id=$probe_window
  start_quillon -window-id "$id"
  wait_for 20 "a picture in the test's window" drawn "$id"
  wait_moving "$id"
  no_saver_window || fail "quillon made a window of its own"
  [ "$(field white root 330 0 310 480)" -ge 990 ] || fail "quillon drew outside the given window"
  shot window-id
  step "it follows the window's size"
  xdotool windowsize "$id" 480 360
  wait_for 20 "a picture in the grown part" drawn "$id" 330 0 150 360
  shot resized
  step "input in the window does not end it; SIGTERM does"
  xdotool mousemove 100 100 click 1 key x
  wait_moving "$id"
  expect_running
  kill -TERM "$quillon_pid"
  expect_exit 10
  xwininfo -id "$id" >/dev/null 2>&1 || fail "the test's window went away"

  local form
  for form in "--window-id $((id))" "/p $((id))" "/l:$((id))"; do
    # shellcheck disable=SC2086
    start_quillon $form
    local before
    before=$(field hash "$id")
    wait_for 20 "a new picture in the test's window" differs_from "$before" "$id"
    wait_moving "$id"
    kill -TERM "$quillon_pid"
    expect_exit 10
  done

  step "the window going away ends it"
  start_quillon --window-id "$id"
  wait_moving "$id"
  end_probe_window
  expect_exit 10
}

scenario_root() {
  start_probe_window 320 240
  step "XSCREENSAVER_WINDOW names the window"
  export XSCREENSAVER_WINDOW=$probe_window
  start_quillon --root
  unset XSCREENSAVER_WINDOW
  wait_for 20 "a picture in XSCREENSAVER_WINDOW" drawn "$probe_window"
  wait_moving "$probe_window"
  [ "$(field white root 330 0 310 480)" -ge 990 ] || fail "quillon drew outside XSCREENSAVER_WINDOW"
  no_saver_window || fail "quillon made a window of its own"
  shot xscreensaver-window
  kill -TERM "$quillon_pid"
  expect_exit 10
  end_probe_window

  step "without it, the root window"
  start_quillon -root
  wait_for 20 "a picture on the root window" drawn root 330 0 310 480
  wait_moving root
  no_saver_window || fail "quillon made a window of its own"
  shot root
  xdotool key x click 1
  wait_moving root
  expect_running
  kill -INT "$quillon_pid"
  expect_exit 10
}

scenario_try_out_window() {
  local key
  for key in Escape q close; do
    start_quillon --window
    wait_for 20 "the try-out window" saver_viewable
    local window
    window=$(saver_window)
    xwininfo -id "$window" | grep -q 'Override Redirect State: no' || fail "the try-out window is not managed"
    wait_for 20 "a picture in the try-out window" drawn "$window"
    step "other keys, clicks and moves keep it open"
    xdotool mousemove 10 10 key m x g Return click 1
    wait_moving "$window"
    expect_running
    step "it ends on $key"
    if [ "$key" = close ]; then
      xdotool windowsize "$window" 320 200
      wait_for 20 "a picture at the new size" test "$(field size "$window")" = 320x200
      wait_moving "$window"
      shot resized
      "$PROBE" close "$window"
    else
      xdotool key "$key"
    fi
    expect_exit 10
  done
}

# Control places in the dialog, in pixels.
click_dialog() { xdotool mousemove --window "$1" "$2" "$3" click 1; }
dialog_window() { xdotool search --name '^Config dialog$' 2>/dev/null | head -n1; }
dialog_ready() {
  local w
  w=$(dialog_window) && [ -n "$w" ] && viewable "$w" && [ "$(xdotool getwindowfocus)" = "$w" ]
}
open_dialog() {
  start_quillon "$@"
  wait_for 20 "the config dialog" dialog_ready
  dialog=$(dialog_window)
  wait_for 10 "the dialog drawn" drawn "$dialog"
}
stored() { grep -o '"UseMirrors"=dword:[0-9a-f]*' "$(settings_file)"; }
expect_stored() { [ "$(stored)" = "\"UseMirrors\"=dword:$1" ] || fail "stored $(stored), wanted $1"; }
expect_unchanged() {
  cmp -s "$(settings_file)" "$work/before" || fail "the settings file changed"
  [ "$(stat -c %i "$(settings_file)")" = "$(cat "$work/before.inode")" ] || fail "the settings file was replaced"
}
remember_file() { cp "$(settings_file)" "$work/before" && stat -c %i "$(settings_file)" >"$work/before.inode"; }

scenario_config() {
  step "Escape with nothing stored writes nothing"
  open_dialog /c
  shot dialog
  xdotool key Escape
  expect_exit 10
  [ ! -e "$XDG_CONFIG_HOME" ] || fail "Escape created $(find "$XDG_CONFIG_HOME")"

  step "Return stores the shown value"
  open_dialog
  xdotool key Return
  expect_exit 10
  expect_stored 00000001

  step "a click on the box, then OK by mouse, stores it off"
  open_dialog /c
  click_dialog "$dialog" 20 30
  shot unchecked
  click_dialog "$dialog" 290 16
  expect_exit 10
  expect_stored 00000000

  step "Tab to the box, space, Return: on again"
  open_dialog -c
  xdotool key Tab Tab space Return
  expect_exit 10
  expect_stored 00000001

  remember_file
  step "a change then Escape, Cancel or the close button leaves the file alone"
  open_dialog /c
  click_dialog "$dialog" 20 30
  xdotool key Escape
  expect_exit 10
  expect_unchanged
  open_dialog /c
  click_dialog "$dialog" 20 30
  click_dialog "$dialog" 290 48
  expect_exit 10
  expect_unchanged
  open_dialog /c
  click_dialog "$dialog" 20 30
  "$PROBE" close "$dialog"
  expect_exit 10
  expect_unchanged
  open_dialog /c
  xdotool key Tab Return
  expect_exit 10
  expect_unchanged
  open_dialog /c
  click_dialog "$dialog" 20 30
  kill -TERM "$quillon_pid"
  expect_exit 10
  expect_unchanged

  step "a damaged file stays as it is until OK replaces it"
  printf 'UseMirrors=0\n\001\002' >"$(settings_file)"
  remember_file
  open_dialog /c
  xdotool key Escape
  expect_exit 10
  expect_unchanged
  open_dialog /c
  xdotool key Return
  expect_exit 10
  expect_stored 00000001
  [ -z "$(find "$XDG_CONFIG_HOME/quillon" -name 'settings.*')" ] || fail "a temporary file was left behind"
}

scenario_quick_modes() {
  local switch
  for switch in /a "/a 1234" /x //s --s - ; do
    "$QUILLON" "$switch" >"$work/quick.log" 2>&1 || fail "'$switch' exited with $?"
    no_saver_window || fail "'$switch' made a window"
    ( unset DISPLAY; "$QUILLON" "$switch" ) || fail "'$switch' without a display exited with $?"
  done
  [ ! -e "$XDG_CONFIG_HOME" ] || fail "reading the settings created files"
  local help
  help=$("$QUILLON" --help) || fail "--help exited with $?"
  for word in --root --window-id --window /s /p /c space M S 0; do
    grep -q -- "$word" <<<"$help" || fail "--help does not mention $word"
  done
}

# ---------------------------------------------------------------------------------------------------------

command -v Xvfb >/dev/null && command -v xdotool >/dev/null && command -v xwininfo >/dev/null ||
  fail "Xvfb, xdotool and xwininfo are needed (scripts/setup.sh installs them)"
declare -F "scenario_$scenario" >/dev/null || fail "no such scenario"
start_xvfb
"scenario_$scenario"
echo "PASS ($scenario)"
