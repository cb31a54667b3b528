#!/usr/bin/env bash
# Soaks the real executables: quillon in a window on a private Xvfb (with resizes) and quillon.scr /s under
# Wine, each for SECONDS (default 600) with random bursts of command keys. Resident memory is sampled every
# 10 s; a run passes when it never crashed, ended with exit code 0 when asked to, and its memory after the
# first minute stayed within 10 % of the figure at one minute. Not part of CI.
#   scripts/soak.sh [SECONDS] [x11] [wine]
# shellcheck disable=SC2317  # the soak_ functions are called by name
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
root=$(pwd)
seconds=${1:-600}
shift || true
which=("$@")
[ ${#which[@]} -gt 0 ] || which=(x11 wine)
out=$root/build/soak
mkdir -p "$out"
status=0
xvfb_pid="" saver_pid="" prefix=""
cleanup() {
  [ -z "$saver_pid" ] || kill "$saver_pid" 2>/dev/null
  [ -z "$prefix" ] || { WINEPREFIX=$prefix timeout 20 wineserver -k 2>/dev/null; rm -rf "$prefix"; }
  [ -z "$xvfb_pid" ] || kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
}
trap cleanup EXIT

start_xvfb() {
  rm -f "$out/display"
  Xvfb -displayfd 3 -screen 0 "$1" -nolisten tcp 3>"$out/display" 2>/dev/null &
  xvfb_pid=$!
  until [ -s "$out/display" ]; do kill -0 "$xvfb_pid" || exit 1; sleep 0.1; done
  DISPLAY=":$(cat "$out/display")"
  export DISPLAY
}
stop_xvfb() { kill "$xvfb_pid"; wait "$xvfb_pid" 2>/dev/null; xvfb_pid=""; }

# wait_window NAME: the id of the first window called NAME once it is viewable, within two minutes.
wait_window() {
  local id
  for _ in $(seq 1200); do
    id=$(xdotool search --name "^$1\$" 2>/dev/null | head -n1) && [ -n "$id" ] &&
      xwininfo -id "$id" | grep -q IsViewable && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$saver_pid/status" 2>/dev/null; }

# drive NAME WINDOW RESIZE: random bursts of one to five consumed keys (G toggles the glide but is not
# consumed: it ends the full-screen saver) about twice a second for $seconds, samples
# of resident memory every 10 s, and with RESIZE a new window size every 100 s; fails if the saver ends.
drive() {
  local name=$1 window=$2 resize=$3 keys=(1 2 3 4 5 6 7 8 9 0 Left Right Up Down m s space)
  local begin=$SECONDS next=$SECONDS rss first="" minute="" last="" n size sizes=(320x200 1x1 640x480 127x1 4000x64 500x400)
  : >"$out/$name.rss"
  while [ $((SECONDS - begin)) -lt "$seconds" ]; do
    kill -0 "$saver_pid" 2>/dev/null || { echo "soak $name: the saver ended after $((SECONDS - begin)) s" >&2; return 1; }
    if [ "$SECONDS" -ge "$next" ]; then
      rss=$(rss_kb)
      echo "$((SECONDS - begin)) $rss" >>"$out/$name.rss"
      first=${first:-$rss} last=$rss
      [ $((SECONDS - begin)) -lt 60 ] || minute=${minute:-$rss}
      next=$((next + 10))
      if [ "$resize" = yes ] && [ $(((SECONDS - begin) % 100)) -lt 10 ] && [ $((SECONDS - begin)) -ge 100 ]; then
        size=${sizes[$(((SECONDS - begin) / 100 % ${#sizes[@]}))]}
        xdotool windowsize "$window" "${size%x*}" "${size#*x}"
        xdotool windowfocus "$window"
      fi
    fi
    for ((n = RANDOM % 5; n >= 0; n--)); do xdotool key "${keys[RANDOM % ${#keys[@]}]}"; done
    sleep 0.5
  done
  echo "soak $name: $seconds s, resident memory ${first} kB at the start, ${minute:-?} kB at one minute, ${last} kB at the end"
  if [ -z "$minute" ] || [ "$last" -gt $((minute + minute / 10)) ]; then
    echo "soak $name: memory grew" >&2
    return 1
  fi
}

# ends_with_zero: the saver ends within a minute, with exit code 0.
ends_with_zero() {
  local code
  for _ in $(seq 600); do kill -0 "$saver_pid" 2>/dev/null || break; sleep 0.1; done
  wait "$saver_pid"
  code=$?
  saver_pid=""
  echo "soak $1: exit code $code"
  [ "$code" = 0 ]
}

soak_x11() {
  cmake --preset native >/dev/null && cmake --build --preset native -j2 --target quillon >/dev/null || return 1
  start_xvfb 1024x768x24
  HOME=$out/home build/native/host/x11/quillon --window >"$out/x11.log" 2>&1 &
  saver_pid=$!
  local window
  window=$(wait_window Quillon) || return 1
  xdotool windowfocus "$window"
  drive x11 "$window" yes && { xdotool key Escape; ends_with_zero x11; }
  local ok=$?
  stop_xvfb
  return "$ok"
}

soak_wine() {
  scripts/setup-win32.sh >/dev/null && cmake --preset mingw >/dev/null && cmake --build --preset mingw -j2 >/dev/null || return 1
  export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
  prefix=$(mktemp -d "$root/build/wine-soak.XXXXXX")
  export WINEPREFIX=$prefix
  start_xvfb 800x600x24
  timeout 120 wineboot -i >/dev/null 2>&1
  xdotool mousemove 400 300
  wine build/mingw/host/win32/quillon.scr /s >"$out/wine.log" 2>&1 &
  saver_pid=$!
  local window
  window=$(wait_window SaverWindow) || return 1
  xdotool windowfocus "$window"
  drive wine "$window" no && { xdotool key x; ends_with_zero wine; }
  local ok=$?
  stop_xvfb
  return "$ok"
}

for part in "${which[@]}"; do
  "soak_$part" || status=1
done
exit "$status"
