#!/usr/bin/env bash
# Imports a vCard through the real windows under Xvfb: Option > Import
# Cards..., the file's path typed into the file dialog, Enter on the box that
# ends the import. Passes when the box told of the cards added and the one
# skipped, the file holds the new cards as the vCard gave them, and the grid
# listed them at once under the first letter. A screenshot of the box is
# left in the output folder.
#
# usage: cards.sh VEMO7 DBTOOL OUTPUT_DIR
# Exits 77 (skipped) when Xvfb, xdotool, sqlite3 or a screenshot tool is missing.
set -euo pipefail

vemo7=$(realpath "$1") dbtool=$(realpath "$2") out=$(realpath -m "$3")
source "$(dirname "$0")/world.sh"
require_tools Xvfb xdotool sqlite3
require_screenshots

mkdir -p "$out"
db=$work/data/VEMO.MDB
"$dbtool" sample "$db" 40 >/dev/null
taken=$(sqlite3 "$db" "select trim(Name) from Vemo order by Name limit 1")
# Two names that sort before every other under the first letter, and one the
# group has already: as a phone writes them, CRLF and folded.
cards=$work/phone.vcf
printf '%s\r\n' "BEGIN:VCARD" "VERSION:3.0" "FN:אאא ראשון" "TEL;TYPE=CELL:050-5550101" "END:VCARD" \
  "BEGIN:VCARD" "VERSION:3.0" "FN:אאב שני" "TEL;TYPE=HOME:03-555" " 0102" "END:VCARD" \
  "BEGIN:VCARD" "VERSION:3.0" "FN:$taken" "TEL:03-5550103" "END:VCARD" >"$cards"

export QT_LOGGING_RULES="numora.grid.debug=true;numora.cards.debug=true"
start_display
start_vemo7 "$work/data"
before=$(sqlite3 "$db" "select count(*) from Vemo where Name like 'א%'")
last=$(sqlite3 "$db" "select trim(Name) from Vemo where Name like 'א%' order by Name desc limit 1")

# Sets $found to a visible window other than the main window that matches
# (xdotool search --name or --classname, and a pattern), waiting as
# wait_window does.
wait_other_window() {
  local by=$1 pattern=$2 id
  found=
  for _ in $(seq $((${wait_seconds:-10} * 10))); do
    for id in $(xdotool search --onlyvisible "$by" "$pattern" 2>/dev/null || true); do
      [ "$id" = "$window" ] || { found=$id; return; }
    done
    kill -0 "$app_pid" 2>/dev/null || fail "the program ended before a window ($pattern) appeared"
    sleep 0.1
  done
  fail "no window named $pattern besides the main window within ${wait_seconds:-10} s"
}

# Option > Import Cards...: opened from the keyboard the menu has its first
# entry (Import DB) chosen; Import Cards is two down, past the separator.
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window" 2>/dev/null || true
xdotool key --window "$window" alt+o
wait_other_window --classname '^Vemo7$'
xdotool key Down Down Return
wait_other_window --name '^Open'
dialog=$found
# The name box, clicked and emptied first: a dialog just shown may not have
# the keyboard yet, and what was typed then went to the main window.
click "$dialog" Open fileNameEdit
xdotool key ctrl+a
xdotool type --delay 20 "$cards"
xdotool key Return
wait_gone '^Open' "the file dialog stayed open"

wait_log "added 2 cards to the Personal group from $cards, skipped 1" "the import did not add the two new cards"
wait_other_window --name '^Numora$'
shoot "$out/cards_imported.png"
echo "screenshot: $out/cards_imported.png"
# Typed to the box as it has the focus: sent to the box's own window, the key's
# release would meet a window the press has closed.
xdotool windowfocus --sync "$found" 2>/dev/null || true
xdotool key Return

stored=$(sqlite3 "$db" "select Name || '|' || ifnull(Phone, '') || '|' || ifnull(Mobil, '') from Vemo where Name like 'אא%' order by Name")
want=$'אאא ראשון||050-5550101\nאאב שני|03-5550102|'
[ "$stored" = "$want" ] || fail "the file holds '$stored' for the imported cards, not '$want'"
want="listed $((before + 2)) cards of Vemo under א from [אאא ראשון] to [$last]"
wait_log "$want" "the grid did not list the imported cards; wanted: $want"
echo "imported: two cards added, one skipped, in the file and first in the grid"

quit_vemo7
echo "passed: a vCard imported through Option > Import Cards is in the file and the grid"
