#!/usr/bin/env bash
# Starts the real program under Xvfb in a private home, waits for the window
# titled "Numora", takes a screenshot, and closes the program through its File
# menu (Alt+F, then X for Exit): a first start on an old-format file in a home
# without the data source, a later start, and a start in another folder whose
# file is named Vemo.mdb. Passes when each time the window appeared and listed
# exactly the cards under the first letter that the file holds, the program
# then ended by itself, the data source was registered, and each file gained
# the new columns (and no second file appeared beside it).
#
# usage: main_window.sh VEMO7 DBTOOL OUTPUT_DIR
# Exits 77 (skipped) when Xvfb, xdotool, sqlite3 or a screenshot tool is missing.
set -euo pipefail

vemo7=$(realpath "$1") dbtool=$(realpath "$2") out=$(realpath -m "$3")
source "$(dirname "$0")/world.sh"
require_tools Xvfb xdotool sqlite3
require_screenshots

mkdir -p "$work/copied" "$out"
"$dbtool" old "$work/data/VEMO.MDB" 300 >/dev/null
"$dbtool" old "$work/copied/Vemo.mdb" 120 >/dev/null
# Every fill says what the grid lists.
export QT_LOGGING_RULES="numora.grid.debug=true"
start_display

# The line a fill logs for the Personal cards under the first tab of a file:
# their count and the first and last names as the grid shows them (trimmed).
expected_listing() {
  local db=$1 names count
  names=$(sqlite3 "$db" "select Name from Vemo where Name like 'א%' order by Name")
  count=$(printf '%s\n' "$names" | grep -c .)
  printf 'listed %s cards of Vemo under א from [%s] to [%s]' "$count" \
    "$(printf '%s\n' "$names" | head -n1 | sed 's/^ *//; s/ *$//')" \
    "$(printf '%s\n' "$names" | tail -n1 | sed 's/^ *//; s/ *$//')"
}

# One run of the program in a data folder: wait for its window, check what the
# grid lists, take the screenshots, leave through File > Exit, and check that
# the program then ended by itself.
run_once() {
  local shot=$1 folder=$2 db=$3
  start_vemo7 "$folder"
  shoot "$out/$shot.png"
  echo "screenshot: $out/$shot.png"
  local want
  want=$(expected_listing "$db")
  wait_log "$want" "$shot: the grid did not list what the file holds; wanted: $want"
  echo "$shot: $want"
  quit_vemo7 "$out/${shot}_file_menu.png"
}

# Both tables of a file have Address and Email.
upgraded() {
  local table
  for table in Vemo Work; do
    sqlite3 "$1" "PRAGMA table_info($table)" | cut -d'|' -f2 | tr '\n' ' ' | grep -q 'Address Email' \
      || { echo "$1: table $table has no Address and Email after the start"; exit 1; }
  done
}

# The first start registers the data source and lists at once; the second
# opens it at once; the third moves it to another folder's file in its own case.
run_once main_window_first_start "$work/data" "$work/data/VEMO.MDB"
[ -s "$work/home/.odbc.ini" ] && grep -q '^\[Numora Database\]' "$work/home/.odbc.ini" \
  || { echo "the data source was not registered"; exit 1; }
upgraded "$work/data/VEMO.MDB"
run_once main_window "$work/data" "$work/data/VEMO.MDB"
run_once main_window_copied_file "$work/copied" "$work/copied/Vemo.mdb"
upgraded "$work/copied/Vemo.mdb"
[ "$(ls "$work/copied")" = "Vemo.mdb" ] || { echo "a second file appeared beside Vemo.mdb: $(ls "$work/copied")"; exit 1; }
grep -q "^Database=$work/copied/Vemo.mdb\$" "$work/home/.odbc.ini" || { echo "the data source was not moved"; exit 1; }
echo "passed: each start listed the file's cards under the first letter, upgraded it, and closed through File > Exit"
