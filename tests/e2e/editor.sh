#!/usr/bin/env bash
# Adds a card through the real windows under Xvfb: File > Add, the name and a
# number typed into the editor, its Add button, Enter on the confirmation.
# Passes when the card is in the database file as typed (trimmed, the empty
# boxes as empty texts), the grid listed it at once under the first letter,
# and the editor then opens on it from File > Edit in update mode. Screenshots
# of the editor in both modes are left in the output folder.
#
# usage: editor.sh VEMO7 DBTOOL OUTPUT_DIR
# Exits 77 (skipped) when Xvfb, xdotool, sqlite3 or a screenshot tool is missing.
set -euo pipefail

vemo7=$(realpath "$1") dbtool=$(realpath "$2") out=$(realpath -m "$3")
source "$(dirname "$0")/world.sh"
require_tools Xvfb xdotool sqlite3 xmodmap
require_screenshots

mkdir -p "$out"
db=$work/data/VEMO.MDB
"$dbtool" sample "$db" 40 >/dev/null
# A name that sorts before every other under the first letter.
name="אאא בדיקה"
phone="03-5551234"
export QT_LOGGING_RULES="numora.grid.debug=true"
start_display
bind_chars "$name"
start_vemo7 "$work/data"

before=$(sqlite3 "$db" "select count(*) from Vemo where Name like 'א%'")
last=$(sqlite3 "$db" "select trim(Name) from Vemo where Name like 'א%' order by Name desc limit 1")

# File > Add...: the editor opens in add mode with the name box focused.
open_add_editor
xdotool type --delay 50 "  $name  "
xdotool key Tab
xdotool type --delay 50 "$phone"
shoot "$out/editor_add.png"
mark_log
click "$editor" "Add New Phone Number" btnAdd
wait_shown MsgBox # "A new record has been added"
wait_focus_off "$editor"
shoot "$out/editor_added.png"
xdotool key Return
wait_gone '^Add New Phone Number$' "the editor stayed open after Add"

stored=$(sqlite3 "$db" "select Name || '|' || Phone || '|' || Mobil || '|' || Line || '|' || Fax || '|' || Address || '|' || Email from Vemo where Name = '$name'")
[ "$stored" = "$name|$phone|||||" ] || fail "the file holds '$stored' for the new card, not '$name|$phone|||||'"
want="listed $((before + 1)) cards of Vemo under א from [$name] to [$last]"
wait_log "$want" "the grid did not list the new card; wanted: $want"
echo "added: $name with $phone, in the file and first in the grid"

# The new card is the grid's first row: choose it, then File > Edit... and OK.
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window" 2>/dev/null || true
wait_focus "$window"
click "$window" Numora 'MSFlexGrid1[0,0]'
mark_log
xdotool key --window "$window" alt+f
wait_shown mnuFile
xdotool key e
wait_shown MsgBox # "Do you want updating this record?"
wait_focus_off "$window"
xdotool key Return
wait_window '^Update Phone Number$' "$app_pid"
editor=$found
place_of "Update Phone Number" btnRtn
shoot "$out/editor_update.png"
echo "screenshots: $out/editor_add.png $out/editor_added.png $out/editor_update.png"
click "$editor" "Update Phone Number" btnRtn # Cancel
wait_gone '^Update Phone Number$' "Cancel did not close the editor"
[ "$(sqlite3 "$db" "select count(*) from Vemo where Name = '$name'")" = 1 ] || fail "Cancel changed the card"

quit_vemo7

# The typed card reaches a vCard that another address book's reader takes in.
"$dbtool" export --format vcard --group Personal "$db" "$work/cards.vcf" >/dev/null
read_back=$(/usr/bin/python3 - "$work/cards.vcf" "$name" <<'PY'
import sys, vobject
for card in vobject.readComponents(open(sys.argv[1], encoding='utf-8').read()):
    if card.fn.value == sys.argv[2]:
        print(' '.join(t.params['TYPE'][0] + '=' + t.value for t in card.contents['tel']))
PY
) || fail "the exported vCard could not be read"
[ "$read_back" = "home=$phone" ] || fail "the vCard reader found '$read_back' for the new card, not 'home=$phone'"
echo "passed: a card added through the editor is in the file and the grid, opens again for updating, and reaches a vCard"
