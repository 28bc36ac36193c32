#!/usr/bin/env bash
# The Work group on a database server, through the real windows under Xvfb:
# the program started as a user starts it, with WorkDataSource in its
# settings naming a data source (in the run's own ODBCINI) that reaches a
# schema of this run's own on the test server. Passes when choosing the Work
# group lists the server's cards (the directory file's copy is emptied
# first), a card added in the editor is on the server as typed, and a card a
# colleague adds meanwhile (psql) is listed once the window is activated.
# A screenshot of the grid with both is left in the output folder.
#
# usage: server.sh VEMO7 DBTOOL PG-STATE OUTPUT_DIR
# PG-STATE is the state file of tests/support/pgserver.sh. Exits 77 (skipped)
# when the server could not be started, or Xvfb, xdotool, sqlite3, psql or a
# screenshot tool is missing.
set -euo pipefail

vemo7=$(realpath "$1") dbtool=$(realpath "$2") state=$3 out=$(realpath -m "$4")
source "$(dirname "$0")/world.sh"
require_tools Xvfb xdotool sqlite3 xmodmap psql
require_screenshots

[ -f "$state" ] || { echo "skipped: no database server was started"; exit 77; }
PG_UNAVAILABLE=
# shellcheck disable=SC1090
. "$state"
[ -z "$PG_UNAVAILABLE" ] || { echo "skipped: no database server: $PG_UNAVAILABLE"; exit 77; }

# The run's schema on the shared server, dropped at the end whatever happens.
schema=e2e$$_$RANDOM
sql() { psql -h "$PG_SOCKET" -p "$PG_PORT" -U "$PG_USER" -d "$PG_DATABASE" -v ON_ERROR_STOP=1 -qAt -c "$1"; }
drop_schema() { sql "DROP SCHEMA IF EXISTS $schema CASCADE" >/dev/null 2>&1 || true; }
trap 'drop_schema; cleanup' EXIT
sql "CREATE SCHEMA $schema" >/dev/null
in_schema() { sql "SET search_path TO $schema; $1"; }

# The data source an administrator sets up, and the setting that puts the
# Work group there.
printf '[Office]\nDriver=PostgreSQL Unicode\nServername=%s\nPort=%s\nDatabase=%s\nUsername=%s\nConnSettings=SET search_path TO %s\n\n' \
  "$PG_SOCKET" "$PG_PORT" "$PG_DATABASE" "$PG_USER" "$schema" >>"$ODBCINI"
printf '[Setting]\nWorkDataSource=Office\n' >"$XDG_CONFIG_HOME/Numora.ini"

mkdir -p "$out"
db=$work/data/VEMO.MDB
"$dbtool" sample "$db" 40 >/dev/null
"$dbtool" init --group Work Office >/dev/null
"$dbtool" copy --group Work "$db" dsn:Office >/dev/null
# Only the server's copy can be listed.
sqlite3 "$db" "delete from Work"
cards=$(in_schema "select count(*) from work where name like 'א%'")
first=$(in_schema "select trim(name) from work where name like 'א%' order by name limit 1")
last=$(in_schema "select trim(name) from work where name like 'א%' order by name desc limit 1")
[ "$cards" -gt 0 ] || fail "the sample's Work group has no card under א"

# A name that sorts before every other under the first letter, and a
# colleague's that sorts before it.
name="אאב בדיקה"
phone="03-5551234"
colleague="אאא עמית"
export QT_LOGGING_RULES="numora.grid.debug=true;numora.server.debug=true"
start_display
bind_chars "$name"
start_vemo7 "$work/data"

# The group box: Work, the second entry.
mark_log
click "$window" Numora cmbGroup
sleep 0.5
xdotool key Down Return
want="listed $cards cards of Work under א from [$first] to [$last]"
wait_log "$want" "the grid did not list the server's Work cards; wanted: $want"
echo "listed: the server's $cards Work cards under א"

# File > Add...: the card goes to the server.
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window" 2>/dev/null || true
open_add_editor
xdotool type --delay 50 "$name"
xdotool key Tab
xdotool type --delay 50 "$phone"
mark_log
click "$editor" "Add New Phone Number" btnAdd
wait_shown MsgBox # "A new record has been added"
wait_focus_off "$editor"
xdotool key Return
wait_gone '^Add New Phone Number$' "the editor stayed open after Add"

stored=$(in_schema "select name || '|' || home || '|' || mobil || '|' || phone || '|' || dept from work where name = '$name'")
[ "$stored" = "$name|$phone|||" ] || fail "the server holds '$stored' for the new card, not '$name|$phone|||'"
[ "$(sqlite3 "$db" "select count(*) from Work")" = 0 ] || fail "the card went to the directory file too"
want="listed $((cards + 1)) cards of Work under א from [$name] to [$last]"
wait_log "$want" "the grid did not list the new card; wanted: $want"
echo "added: $name with $phone, on the server and first in the grid"

# A colleague adds a card; the window, activated, lists it.
in_schema "insert into work (name, home) values ('$colleague', '03-5559999')" >/dev/null
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window" 2>/dev/null || true
want="listed $((cards + 2)) cards of Work under א from [$colleague] to [$last]"
wait_seconds=10 wait_log "$want" "the colleague's card did not appear in the grid; wanted: $want"
shoot "$out/server_grid.png"
echo "screenshot: $out/server_grid.png"

quit_vemo7
echo "passed: the Work group on a server lists its cards, takes a card from the editor and shows a colleague's"
