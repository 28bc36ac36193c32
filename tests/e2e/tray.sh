#!/usr/bin/env bash
# The tray icon with a real tray under Xvfb and a window manager. The program
# starts on a desktop without a tray: minimised, its window stays reachable
# (iconified, not withdrawn) and comes back. A panel with a tray (trayer)
# then starts beside it: the icon appears in it; minimising now hides the
# window; a double-click on the icon brings it back in normal state; a right
# click opens the tray menu, whose Search opens the search window. When the
# panel ends, a minimised window stays reachable again. A window brought back
# from the tray comes back where it was, though no placement is stored and
# the window manager chose its first place. Screenshots
# of the icon in the panel and of the menu are left in the output folder.
#
# usage: tray.sh VEMO7 DBTOOL OUTPUT_DIR
# Exits 77 (skipped) when Xvfb, xdotool, openbox, trayer, xprop, xwininfo or a
# screenshot tool is missing.
set -euo pipefail

vemo7=$(realpath "$1") dbtool=$(realpath "$2") out=$(realpath -m "$3")
source "$(dirname "$0")/world.sh"
require_tools Xvfb xdotool openbox trayer xprop xwininfo xmodmap
require_screenshots

mkdir -p "$out"
"$dbtool" sample "$work/data/VEMO.MDB" 40 >/dev/null
export QT_LOGGING_RULES="numora.tray.debug=true;numora.search.debug=true"
start_display
bind_chars "א"
start_window_manager
# A window manager and a panel beside a sanitizer build are slow company.
wait_seconds=30
start_vemo7 "$work/data"

# WM_STATE of a window: Normal, Iconic, or nothing once withdrawn.
wm_state() { xprop -id "$1" WM_STATE 2>/dev/null | sed -n 's/.*window state: //p'; }
# Waits up to 15 s for a window's WM_STATE.
wait_state() {
  local want=$1 state=
  for _ in $(seq 150); do
    state=$(wm_state "$window")
    [ "$state" = "$want" ] && return
    sleep 0.1
  done
  fail "the main window's state is '$state', not '$want'"
}

wait_log "no system tray" "the program did not notice that there is no tray"
# Without a tray a minimised window is only iconified: the window manager can bring it back.
xdotool windowminimize "$window"
wait_state Iconic
xdotool windowactivate "$window" 2>/dev/null || true
wait_state Normal
echo "without a tray: minimised and brought back by the window manager"

# A panel with a tray starts after the program.
trayer --edge top --align right --widthtype request --height 32 --SetDockType true --transparent false \
  >"$work/trayer.log" 2>&1 &
trayer_pid=$!
also_kill="$also_kill $trayer_pid"
wait_log "a system tray appeared" "the icon was not added when the tray appeared"
# The icon: the program's small window that the tray embedded.
icon=
for _ in $(seq 150); do
  for w in $(xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null || true); do
    eval "$(xdotool getwindowgeometry --shell "$w")"
    if [ "$WIDTH" -le 64 ] && [ "$HEIGHT" -le 64 ]; then icon=$w; break; fi
  done
  [ -n "$icon" ] && break
  sleep 0.1
done
[ -n "$icon" ] || fail "no icon of the program is on screen"
shoot "$out/tray_icon.png"
echo "the icon is in the tray"

# Moved away from where the window manager put it on this first run (no
# placement is stored), then minimised with the icon there: the window leaves
# the screen and the task bar.
first=$(frame_of "$window")
xdotool windowmove --sync "$window" 300 250
for _ in $(seq 300); do [ "$(frame_of "$window")" != "$first" ] && break; sleep 0.1; done
placed=$(frame_of "$window")
[ "$placed" != "$first" ] || fail "the window did not move from $first"
xdotool windowminimize "$window"
wait_gone '^Numora$' "the minimised window is still on screen"
[ -z "$(wm_state "$window")" ] || [ "$(wm_state "$window")" = Withdrawn ] \
  || fail "the minimised window is '$(wm_state "$window")', not withdrawn"
shoot "$out/tray_hidden.png"
echo "minimised: the window is hidden"

# A double-click on the icon brings it back in normal state, where it was.
xdotool mousemove --window "$icon" 8 8 click --repeat 2 --delay 80 1
wait_window '^Numora$' "$app_pid"
wait_state Normal
for _ in $(seq 300); do [ "$(frame_of "$window")" = "$placed" ] && break; sleep 0.1; done
[ "$(frame_of "$window")" = "$placed" ] || fail "the window came back at $(frame_of "$window"), not at $placed"
echo "double-click: the window is back where it was ($placed)"

# A right click opens the tray menu; its Search opens the search window and
# leaves the main window as it is.
mark_log
xdotool mousemove --window "$icon" 8 8 click 3
wait_shown mPopupSys
shoot "$out/tray_menu.png"
xdotool key s
wait_window '^Record Searching...$' "$app_pid"
search=$found
place_of "Record Searching..." TxtStr
wait_focus "$search"
mark_log
xdotool type --delay 50 "א"
# The first name the list shows for the letter.
wait_new_log "LstSearch[0,0]" "the search window listed no name for the letter"
click "$search" "Record Searching..." 'LstSearch[0,0]'
wait_new_log "showing the numbers of" "a click on a name did not show its numbers"
shoot "$out/tray_search.png"
echo "screenshots: $out/tray_icon.png $out/tray_hidden.png $out/tray_menu.png $out/tray_search.png"
click "$search" "Record Searching..." btnCancel
wait_gone '^Record Searching' "Cancel did not close the search window"

# The panel ends, taking the icon with it: minimised, the window stays reachable again.
kill "$trayer_pid"
wait "$trayer_pid" 2>/dev/null || true
xdotool windowminimize "$window"
wait_state Iconic
xdotool windowactivate "$window" 2>/dev/null || true
wait_state Normal
echo "the tray gone: minimised and brought back by the window manager"

quit_vemo7
echo "passed: the icon appears when a tray does, minimising hides the window, a double-click brings it back"
