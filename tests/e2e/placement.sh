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
source "$(dirname "$0")/world.sh"
require_tools Xvfb xdotool
shoot() { if command -v import >/dev/null; then import -window root "$1"; echo "screenshot: $1"; fi; }

mkdir -p "$out"
"$dbtool" sample "$work/data/VEMO.MDB" 50 >/dev/null
"$regsvr" "$kwendo" >/dev/null || fail "the control library did not register"
start_display

position() { xdotool getwindowgeometry "$window" | sed -n 's/^ *Position: \([0-9-]*,[0-9-]*\).*/\1/p'; }

# First run: no placement is stored yet; move the window and let the control
# sample it (every 500 ms) before leaving.
start_vemo7 "$work/data"
first=$(position)
xdotool windowmove --sync "$window" 237 181
sleep 1.5
moved=$(position)
[ "$moved" = "237,181" ] || fail "the window did not move (it is at $moved)"
shoot "$out/placement_moved.png"
quit_vemo7
settings=$XDG_CONFIG_HOME/Numora.ini
grep -q '^MainLeft=' "$settings" 2>/dev/null || fail "no placement stored in $settings"
grep -q '^MainWindow=0$' "$settings" || fail "the stored window state is not 0"

# Second run: the window opens where the first run left it.
start_vemo7 "$work/data"
again=$(position)
shoot "$out/placement_reopened.png"
quit_vemo7
echo "first start at $first, moved to $moved, reopened at $again"
[ "$again" = "$moved" ] || fail "the window reopened at $again, not at $moved"
echo "passed: the main window reopened where it was moved"
