#!/usr/bin/env bash
# Valgrind memcheck over a headless render of 300 frames and over the X11 saver in a window on a private Xvfb
# (keys, a resize, SIGTERM after RUN_SECONDS, default 60): no invalid read or write and nothing definitely lost
# outside Mesa; tests/valgrind.supp names what is suppressed and why. Not part of CI: a quarter of an hour.
# The summaries land in build/valgrind/*.log.   scripts/valgrind.sh [render] [x11]
# shellcheck disable=SC2317  # the run_ functions are called by name
set -uo pipefail
cd "$(dirname "$0")/.." || exit 1
parts=("$@")
[ ${#parts[@]} -gt 0 ] || parts=(render x11)
command -v valgrind >/dev/null || { echo "valgrind: not installed (apt-get install valgrind)" >&2; exit 1; }
cmake --preset native >/dev/null && cmake --build --preset native -j2 --target quillon-render quillon >/dev/null || exit 1
out=build/valgrind
mkdir -p "$out"
# --keep-debuginfo: the GL driver is unloaded before exit, and its frames would show as ??? in leak reports.
memcheck=(valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite --errors-for-leak-kinds=definite
          --keep-debuginfo=yes --num-callers=40 --suppressions=tests/valgrind.supp --error-exitcode=99)
status=0

# report LOG RC: the errors and leaks valgrind counted; fails on any error or a non-zero exit code.
report() {
  echo "valgrind: $1: exit code $2; $(grep -E 'ERROR SUMMARY' "$out/$1.log" | sed 's/^==[0-9]*== //')"
  grep -E 'definitely lost:|indirectly lost:|==  +suppressed:' "$out/$1.log" | sed 's/^==[0-9]*== /    /'
  [ "$2" = 0 ] || status=1
}

# Every command key once, at frames 50 to 250: digit 5, Right, Up, M, S, Down (the reshuffle), G, space.
run_render() {
  local keys=(--key 50:53 --key 80:39 --key 110:38 --key 140:77 --key 170:83 --key 200:40 --key 230:71 --key 250:32)
  "${memcheck[@]}" --log-file="$out/render.log" build/native/tools/quillon-render --size 64x48 --frames 300 \
    "${keys[@]}" --out "$out/render.png" --quiet
  report render $?
}

xvfb_pid="" saver_pid=""
trap 'kill $saver_pid $xvfb_pid 2>/dev/null; wait 2>/dev/null' EXIT
run_x11() {
  rm -f "$out/display"
  Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$out/display" 2>/dev/null &
  xvfb_pid=$!
  until [ -s "$out/display" ]; do kill -0 "$xvfb_pid" || return 1; sleep 0.1; done
  DISPLAY=":$(cat "$out/display")"
  export DISPLAY
  "${memcheck[@]}" --log-file="$out/x11.log" build/native/host/x11/quillon --window &
  saver_pid=$!
  local window="" key end
  for _ in $(seq 600); do
    window=$(xdotool search --name '^Quillon$' 2>/dev/null | head -n1) && [ -n "$window" ] &&
      xwininfo -id "$window" | grep -q IsViewable && break
    window=""
    sleep 0.2
  done
  [ -n "$window" ] || { echo "valgrind: the saver window never appeared" >&2; return 1; }
  end=$((SECONDS + ${RUN_SECONDS:-60}))
  xdotool windowfocus "$window"
  for key in 5 Right Up m s Down g space 0 Left; do
    xdotool key "$key"
    [ "$key" = Down ] && xdotool windowsize "$window" 320 200
    sleep 3
  done
  while [ "$SECONDS" -lt "$end" ]; do sleep 1; done
  kill -TERM "$saver_pid"
  wait "$saver_pid"
  report x11 $?
  saver_pid=""
}

for part in "${parts[@]}"; do "run_$part" || status=1; done
exit "$status"
