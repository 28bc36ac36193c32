#!/usr/bin/env bash
# The main window reopens where it was moved: registers the placement control
# library into a private registry, starts the real program under Xvfb, moves
# its window, leaves through File > Exit, starts it again and checks that the
# window comes up at the place it was moved to.
#
# usage: placement.sh VEMO7 DBTOOL REGSVR KWENDO OUTPUT_DIR
# Exits 77 (skipped) when Xvfb or xdotool is missing.
set -euo pipefail

vemo7=$(realpath "$1") dbtool=$(realpath "$2") regsvr=$(realpath "$3") kwendo=$(realpath "$4") out=$(realpath -m "$5")
for tool in Xvfb xdotool; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
shoot() { if command -v import >/dev/null; then import -window root "$1"; echo "screenshot: $1"; fi; }

work=$(mktemp -d)
xvfb_pid= app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "$*"; [ -f "$work/vemo7.log" ] && cat "$work/vemo7.log"; exit 1; }

export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config ODBCINI=$work/home/.odbc.ini
export NUMORA_REGISTRY_DIR=$work/registry WINDIR=$work/windows
# No session bus here: without an address the bus client would try to start
# one through X11 on its own thread, racing the program's exit.
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-session-bus
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$NUMORA_REGISTRY_DIR" "$WINDIR" "$work/data" "$out"
"$dbtool" sample "$work/data/VEMO.MDB" 50 >/dev/null
"$regsvr" "$kwendo" >/dev/null || fail "the control library did not register"

display=
for n in $(seq 141 190); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=:$n; break; fi
done
[ -n "$display" ] || fail "no free X display"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

window=
start() {
  (cd "$work/data" && exec "$vemo7") >"$work/vemo7.log" 2>&1 &
  app_pid=$!
  window=
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Numora$' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    kill -0 "$app_pid" 2>/dev/null || fail "Vemo7 ended before its window appeared"
    sleep 0.1
  done
  [ -n "$window" ] || fail "no window titled Numora within 10 s"
  sleep 1
}
position() { xdotool getwindowgeometry "$window" | sed -n 's/^ *Position: \([0-9-]*,[0-9-]*\).*/\1/p'; }
quit() {
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window" 2>/dev/null || true
  xdotool key --window "$window" alt+f
  sleep 0.5
  xdotool key x
  for _ in $(seq 50); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app_pid" 2>/dev/null && fail "Vemo7 still running after File > Exit"
  wait "$app_pid" || fail "Vemo7 exited with $?"
  app_pid=
}

# First run: no placement is stored yet; move the window and let the control
# sample it (every 500 ms) before leaving.
start
first=$(position)
xdotool windowmove --sync "$window" 237 181
sleep 1.5
moved=$(position)
[ "$moved" = "237,181" ] || fail "the window did not move (it is at $moved)"
shoot "$out/placement_moved.png"
quit
settings=$XDG_CONFIG_HOME/Numora.ini
grep -q '^MainLeft=' "$settings" 2>/dev/null || fail "no placement stored in $settings"
grep -q '^MainWindow=0$' "$settings" || fail "the stored window state is not 0"

# Second run: the window opens where the first run left it.
start
again=$(position)
shoot "$out/placement_reopened.png"
quit
echo "first start at $first, moved to $moved, reopened at $again"
[ "$again" = "$moved" ] || fail "the window reopened at $again, not at $moved"
echo "passed: the main window reopened where it was moved"
