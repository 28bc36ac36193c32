#!/usr/bin/env bash
# The main window's placement under a window manager (openbox), kept by the
# placement control library registered into a private registry. On a first
# run the window manager places the window; moved, it reopens where it was
# moved. A stored place of 0,0 is kept; one that leaves only a sliver on the
# screen is brought back far enough to take hold of; a stored maximised state
# opens maximised, and leaving it gives the stored normal placement, which is
# what the next run finds stored.
#
# usage: placement.sh VEMO7 DBTOOL REGSVR KWENDO OUTPUT_DIR
# Exits 77 (skipped) when Xvfb, xdotool, openbox, xprop or xwininfo is missing.
set -euo pipefail

vemo7=$(realpath "$1") dbtool=$(realpath "$2") regsvr=$(realpath "$3") kwendo=$(realpath "$4") out=$(realpath -m "$5")
source "$(dirname "$0")/world.sh"
require_tools Xvfb xdotool openbox xprop xwininfo
shoot() { if command -v import >/dev/null; then import -window root "$1"; echo "screenshot: $1"; fi; }

mkdir -p "$out"
"$dbtool" sample "$work/data/VEMO.MDB" 50 >/dev/null
"$regsvr" "$kwendo" >/dev/null || fail "the control library did not register"
start_display
start_window_manager
wait_seconds=30

# First run: no placement is stored yet, the window manager places the
# window; moved, the control samples it (every 500 ms) before the program ends.
start_vemo7 "$work/data"
first=$(frame_of "$window")
xdotool windowmove --sync "$window" 237 181
for _ in $(seq $((wait_seconds * 10))); do [ "$(frame_of "$window")" != "$first" ] && break; sleep 0.1; done
moved=$(frame_of "$window")
[ "$moved" != "$first" ] || fail "the window did not move (it is at $moved)"
shoot "$out/placement_moved.png"
quit_vemo7
[ "$(stored_placement)" = "0 $moved" ] || fail "stored $(stored_placement), not the moved window's 0 $moved"

# Second run: the window opens where the first run left it.
start_vemo7 "$work/data"
again=$(frame_of "$window")
shoot "$out/placement_reopened.png"
quit_vemo7
echo "first start at $first, moved to $moved, reopened at $again"
[ "$again" = "$moved" ] || fail "the window reopened at $again, not at $moved"

# Stored places the window opens at: exactly 0,0; and one with 30 pixels on
# the screen, brought back until 100 pixels of it show.
for case in "0 0 660 500=0 0 660 500" "994 300 660 500=924 300 660 500"; do
  store_placement 0 ${case%%=*}
  start_vemo7 "$work/data"
  placed=$(frame_of "$window")
  quit_vemo7
  [ "$placed" = "${case#*=}" ] || fail "stored at ${case%%=*}, the window opened at $placed, not at ${case#*=}"
  echo "stored at ${case%%=*}: opened at $placed"
done

# Stored maximised: it opens maximised; leaving that (a double-click on the
# title bar) gives the stored normal placement, which is then kept.
store_placement 2 200 150 660 500
start_vemo7 "$work/data"
xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_MAXIMIZED_HORZ || fail "the window did not open maximised"
# The middle of the title bar the window manager drew.
maximised=$(frame_of "$window")
read -r mx my mw _ <<<"$maximised"
top=$(xprop -id "$window" _NET_FRAME_EXTENTS | sed -n 's/.*= *//p' | tr -d ' ' | cut -d, -f3)
xdotool mousemove $((mx + mw / 2)) $((my + ${top:-16} / 2)) click --repeat 2 --delay 100 1
for _ in $(seq $((wait_seconds * 10))); do
  ! xprop -id "$window" _NET_WM_STATE | grep -q _NET_WM_STATE_MAXIMIZED_HORZ &&
    [ "$(frame_of "$window")" != "$maximised" ] && break
  sleep 0.1
done
normal=$(frame_of "$window")
quit_vemo7
[ "$normal" = "200 150 660 500" ] || fail "out of maximised, the window is at $normal, not at 200 150 660 500"
[ "$(stored_placement)" = "0 200 150 660 500" ] || fail "stored $(stored_placement) after leaving maximised"
echo "passed: the main window reopened where it was moved, at 0,0, on screen, and maximised over its normal place"
