# Shell helpers of the Windows end-to-end scripts (e2e.sh, install.sh), sourced: the checks they count and
# the bounded polls they wait with, and the saver's X window as Wine shows it.
# shellcheck shell=bash
failures=0
check() {  # check <description> <command...>
  local what=$1; shift
  if "$@"; then echo "  ok   $what"; else echo "  FAIL $what"; failures=$((failures + 1)); fi
}
# Polls <command...> until it succeeds, for 30 seconds at most.
wait_for() {
  local deadline=$((SECONDS + 30))
  until "$@"; do [ $SECONDS -lt $deadline ] || return 1; sleep 0.1; done
}
# Each X query is bounded too, so that a stalled one makes a poll fail instead of hanging the script.
saver_window() { timeout 5 xdotool search --name '^SaverWindow$' 2>/dev/null | head -n1; }
viewable() { local id; id=$(saver_window); [ -n "$id" ] && timeout 5 xwininfo -id "$id" | grep -q 'Map State: IsViewable'; }
