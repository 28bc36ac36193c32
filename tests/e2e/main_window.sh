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
for tool in Xvfb xdotool sqlite3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
if command -v import >/dev/null; then
  shoot() { import -window root "$1"; }
elif command -v xwd >/dev/null && [ -x /usr/bin/convert ]; then
  shoot() { xwd -root -silent | /usr/bin/convert xwd:- "$1"; }
else
  echo "skipped: no screenshot tool (import, or xwd with convert)"; exit 77
fi

work=$(mktemp -d)
xvfb_pid= app_pid=
cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT

# Everything the program reads or writes stays inside $work.
export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config ODBCINI=$work/home/.odbc.ini
export NUMORA_REGISTRY_DIR=$work/registry WINDIR=$work/windows
# No session bus here: without an address the bus client would try to start
# one through X11 on its own thread, racing the program's exit.
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-session-bus
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$NUMORA_REGISTRY_DIR" "$WINDIR" "$work/data" "$work/copied" "$out"
"$dbtool" old "$work/data/VEMO.MDB" 300 >/dev/null
"$dbtool" old "$work/copied/Vemo.mdb" 120 >/dev/null
# Every fill says what the grid lists.
export QT_LOGGING_RULES="numora.grid.debug=true"

# A free display number.
display=
for n in $(seq 90 140); do
  if [ ! -e "/tmp/.X$n-lock" ] && [ ! -e "/tmp/.X11-unix/X$n" ]; then display=:$n; break; fi
done
[ -n "$display" ] || { echo "no free X display"; exit 1; }
# -noreset: without it the server resets when the first run's last client leaves,
# and the second start can meet a display that is not accepting connections.
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
export DISPLAY=$display
unset WAYLAND_DISPLAY QT_QPA_PLATFORM
for _ in $(seq 50); do xdotool getdisplaygeometry >/dev/null 2>&1 && break; sleep 0.1; done

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
  (cd "$folder" && exec "$vemo7") >"$work/vemo7.log" 2>&1 &
  app_pid=$!

  local window=
  for _ in $(seq 100); do
    window=$(xdotool search --onlyvisible --name '^Numora$' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    kill -0 "$app_pid" 2>/dev/null || { echo "Vemo7 ended before its window appeared"; cat "$work/vemo7.log"; exit 1; }
    sleep 0.1
  done
  [ -n "$window" ] || { echo "no window titled Numora within 10 s"; cat "$work/vemo7.log"; exit 1; }

  sleep 1 # let the first fill and paint settle
  shoot "$out/$shot.png"
  echo "screenshot: $out/$shot.png"
  local want
  want=$(expected_listing "$db")
  grep -qF "$want" "$work/vemo7.log" \
    || { echo "$shot: the grid did not list what the file holds; wanted: $want"; cat "$work/vemo7.log"; exit 1; }
  echo "$shot: $want"

  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window" 2>/dev/null || true
  xdotool key --window "$window" alt+f
  sleep 0.5
  shoot "$out/${shot}_file_menu.png"
  xdotool key x

  for _ in $(seq 50); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  if kill -0 "$app_pid" 2>/dev/null; then
    echo "Vemo7 still running after File > Exit"; cat "$work/vemo7.log"; exit 1
  fi
  local status=0
  wait "$app_pid" || status=$?
  app_pid=
  [ "$status" -eq 0 ] || { echo "Vemo7 exited with $status"; cat "$work/vemo7.log"; exit 1; }
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
