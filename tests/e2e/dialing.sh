#!/usr/bin/env bash
# Dials a card's number from the real program under Xvfb into the project's
# own dialer: a click on the first card's mobile number, a right click on
# another cell of the row, Dialing from the popup. Passes when the dialer's
# window came up holding exactly that number, its Dial handed the number to
# the desktop as a tel: link (a stand-in xdg-open records it), and, with no
# program for tel: links left, the dialer said so. Then, in the Work group, a
# department in Hebrew letters (which the display's US keyboard map lacks)
# reaches the dialer whole, and of a mobile number 10,000 characters long
# only what the dialer's box takes is typed, at once.
#
# usage: dialing.sh VEMO7 DBTOOL OUTPUT_DIR
# Exits 77 (skipped) when Xvfb, xdotool, sqlite3 or a screenshot tool is missing.
set -euo pipefail

vemo7=$(realpath "$1") dbtool=$(realpath "$2") out=$(realpath -m "$3")
source "$(dirname "$0")/world.sh"
require_tools Xvfb xdotool sqlite3
require_screenshots

# The desktop's programs for links are private too.
export XDG_DATA_HOME=$work/home/.local/share XDG_DATA_DIRS=$work/system/share XDG_CONFIG_DIRS=$work/system/xdg
mkdir -p "$XDG_DATA_HOME/applications" "$XDG_DATA_DIRS" "$XDG_CONFIG_DIRS" "$work/bin" "$out"

# A phone program for tel: links, and an xdg-open that records what it is given.
cat >"$XDG_DATA_HOME/applications/e2e-phone.desktop" <<DESKTOP
[Desktop Entry]
Type=Application
Name=Phone
Exec=true %u
MimeType=x-scheme-handler/tel;
DESKTOP
printf '#!/bin/sh\nprintf "%%s\\n" "$*" >> "%s/links"\n' "$work" >"$work/bin/xdg-open"
chmod +x "$work/bin/xdg-open"
export PATH=$work/bin:$PATH

"$dbtool" sample "$work/data/VEMO.MDB" 50 >/dev/null
# The first card under the first letter, and its mobile number.
number=$(sqlite3 "$work/data/VEMO.MDB" "select trim(Mobil) from Vemo where Name like 'א%' order by Name limit 1")
[ -n "$number" ] || fail "the sample's first card has no mobile number"
# The first two Work cards under the first letter: a Hebrew department, and a
# mobile number as an imported file can hold it.
long=$(printf '%10000s' '' | tr ' ' 5)
sqlite3 "$work/data/VEMO.MDB" "insert into Work (Name, Home, Mobil, Phone, Dept) values
  ('א בדיקה', '03-1', '050-1', '03-2', 'מחלקה 0'), ('א בדיקה ב', '03-3', '$long', '', '')"
[ "$(sqlite3 "$work/data/VEMO.MDB" "select Name from Work where Name like 'א%' order by Name limit 1")" = "א בדיקה" ] \
  || fail "the Hebrew department's card is not the first Work card"
export QT_LOGGING_RULES="numora.*.debug=true"

start_display
start_vemo7 "$work/data"

# The grid's first card row: the mobile column, then the fax column.
click "$window" Numora 'MSFlexGrid1[0,2]'
mark_log
click "$window" Numora 'MSFlexGrid1[0,4]' 3
wait_shown popFile
shoot "$out/dialing_popup.png"
# "&Add..." and "Di&aling..." share their key: the second press reaches Dialing.
xdotool key a a Return

# The program types the number into the dialer's box and tells so.
wait_window '^Dialer$'
dialer=$found
also_kill=$(xdotool getwindowpid "$dialer")
wait_new_log "characters into the dialer" "the number was not typed into the dialer"
shoot "$out/dialing_dialer.png"
echo "screenshots: $out/dialing_popup.png $out/dialing_dialer.png"
wait_focus "$dialer"

# Dial: the number in the box goes to the desktop as a tel: link.
xdotool key Return
for _ in $(seq $((${wait_seconds:-30} * 10))); do [ -s "$work/links" ] && break; sleep 0.1; done
[ "$(cat "$work/links" 2>/dev/null)" = "tel:$number" ] \
  || fail "the dialer handed on '$(cat "$work/links" 2>/dev/null)', not tel:$number"
wait_log "told the user: tel:$number was handed to your phone program." \
  "the dialer did not say that it handed the number on"

# With no program for tel: links, the dialer says so instead.
rm "$XDG_DATA_HOME/applications/e2e-phone.desktop"
xdotool key Return
wait_log "told the user: No program here takes tel: links; dial $number on your phone." \
  "the dialer did not say that no program takes tel: links"
[ "$(wc -l <"$work/links")" -eq 1 ] || fail "a link was handed on with no program to take it"
echo "passed: $number typed into the dialer from the grid's popup and handed on as tel:$number"

# The Work group: the group selector, then its second entry.
kill "$also_kill"
wait_gone '^Dialer$' "the first dialer did not close"
click "$window" Numora cmbGroup
xdotool key Down Return
wait_log "cards of Work" "the grid did not list the Work group"
shoot "$out/dialing_work.png"

# The department of the first card.
click "$window" Numora 'MSFlexGrid1[0,4]'
mark_log
click "$window" Numora 'MSFlexGrid1[0,4]' 3
wait_shown popFile
xdotool key a a Return
wait_window '^Dialer$'
dialer=$found
also_kill=$(xdotool getwindowpid "$dialer")
wait_new_log "characters into the dialer" "the department was not typed into the dialer"
wait_focus "$dialer"
xdotool key Return
wait_log "told the user: No program here takes tel: links; dial מחלקה 0 on your phone." \
  "the department did not reach the dialer whole"
kill "$also_kill"
wait_gone '^Dialer$' "the second dialer did not close"

# The mobile number of the second card, chosen from the keyboard: only the
# dialer's 40 characters are typed, well within the 10 s the whole would take.
click "$window" Numora 'MSFlexGrid1[0,2]'
xdotool key Down
mark_log
click "$window" Numora 'MSFlexGrid1[0,2]' 3
wait_shown popFile
started=$(date +%s%N)
xdotool key a a Return
wait_window '^Dialer$'
also_kill=$(xdotool getwindowpid "$found")
want="told the user: No program here takes tel: links; dial ${long:0:40} on your phone."
for _ in $(seq 100); do
  xdotool key Return
  grep -qF "$want" "$work/vemo7.log" && break
  sleep 0.1
done
elapsed=$(( ($(date +%s%N) - started) / 1000000 ))
grep -qF "$want" "$work/vemo7.log" || fail "the dialer did not get the first 40 characters of the long number"
[ "$elapsed" -lt 5000 ] || fail "dialing the long number took $elapsed ms"
echo "passed: the Hebrew department and 40 characters of a 10,000-character number reached the dialer ($elapsed ms)"
