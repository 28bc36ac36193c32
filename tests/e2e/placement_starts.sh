#!/usr/bin/env bash
# Fifty starts (or NUMORA_STARTS) in a row under a window manager (openbox) while another
# process keeps the processor busy. Every start shows the main window, at its
# stored place and size (larger than designed), or maximised at every fifth
# start, whose placement is stored so; every run leaves the stored placement
# as it found it, so the window neither wanders nor grows from run to run.
#
# usage: placement_starts.sh VEMO7 DBTOOL REGSVR KWENDO OUTPUT_DIR
# Exits 77 (skipped) when Xvfb, xdotool, openbox, xprop or xwininfo is missing.
set -euo pipefail

vemo7=$(realpath "$1") dbtool=$(realpath "$2") regsvr=$(realpath "$3") kwendo=$(realpath "$4")
source "$(dirname "$0")/world.sh"
# The program tells where it laid out its menus, for quit_vemo7.
export QT_LOGGING_RULES="numora.layout.debug=true"
require_tools Xvfb xdotool openbox xprop xwininfo taskset

# NUMORA_BUSY_PROCESSES: how many processes keep the processor busy (one,
# unless told). The program, the display and the window manager share one
# processor with them: each start meets the contention it would meet on a
# machine whose every processor is busy, and the other processors stay free
# for the tests that run beside this one.
busy=${NUMORA_BUSY_PROCESSES:-1}
if [ "$busy" -gt 0 ]; then
  cpu=$(taskset -cp $$ | sed -E 's/.*: //; s/.*[,-]//')
  taskset -cp "$cpu" $$ >/dev/null
fi

"$dbtool" sample "$work/data/VEMO.MDB" 200 >/dev/null
"$regsvr" "$kwendo" >/dev/null || fail "the control library did not register"
start_display
start_window_manager
wait_seconds=60

for _ in $(seq "$busy"); do
  (while :; do :; done) &
  also_kill="$also_kill $!"
done

placement="123 97 705 525"
started=$SECONDS
# NUMORA_STARTS: how many (the sanitizer build, whose starts are slow,
# makes fewer; the plain build makes the fifty).
starts=${NUMORA_STARTS:-50}
for run in $(seq "$starts"); do
  state=0
  [ $((run % 5)) -eq 0 ] && state=2
  store_placement $state $placement
  (cd "$work/data" && exec "$vemo7") >"$work/vemo7.log" 2>&1 &
  app_pid=$!
  wait_window '^Numora$' "$app_pid"
  window=$found
  # Mapped is not yet placed: the window manager may still be framing it.
  shown=
  for _ in $(seq 100); do
    if [ $state = 2 ]; then
      xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_MAXIMIZED_HORZ && shown=maximised && break
    else
      shown=$(frame_of "$window")
      [ "$shown" = "$placement" ] && break
    fi
    sleep 0.1
  done
  quit_vemo7
  if [ $state = 2 ]; then
    [ "$shown" = maximised ] || fail "start $run: the window did not open maximised"
  else
    [ "$shown" = "$placement" ] || fail "start $run: the window opened at $shown, not at $placement"
  fi
  [ "$(stored_placement)" = "$state $placement" ] || fail "start $run: stored $(stored_placement), not $state $placement"
done
echo "passed: $starts starts under load in $((SECONDS - started)) s, each showing the window at $placement or maximised"
