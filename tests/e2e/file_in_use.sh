#!/usr/bin/env bash
# Starts the real program under Xvfb while another program (the sqlite3 shell)
# holds the directory file in an exclusive transaction for some seconds.
# Passes when the main window is up within 3 s of the start and a box beside it
# says so, nothing is listed while the lock is held, the cards under the first
# letter are listed within 3 s of the lock's end (the box still open), and the
# program then closes through its File menu.
#
# usage: file_in_use.sh VEMO7 DBTOOL OUTPUT_DIR   (NUMORA_E2E_LOCK_SECONDS: how long
# the lock is held, 8 unless set)
# Exits 77 (skipped) when Xvfb, xdotool, sqlite3 or a screenshot tool is missing.
set -euo pipefail

vemo7=$(realpath "$1") dbtool=$(realpath "$2") out=$(realpath -m "$3")
source "$(dirname "$0")/world.sh"
require_tools Xvfb xdotool sqlite3
require_screenshots

hold=${NUMORA_E2E_LOCK_SECONDS:-8}
db=$work/data/VEMO.MDB
mkdir -p "$out"
"$dbtool" sample "$db" 300 >/dev/null
count=$(sqlite3 "$db" "select count(*) from Vemo where Name like 'א%'")
export QT_LOGGING_RULES="numora.grid.debug=true;numora.layout.debug=true"
start_display

millis() { date +%s%3N; }
visible_main_windows() { xdotool search --onlyvisible --name '^Numora$' 2>/dev/null | wc -l; }

# The other program: an exclusive transaction, held, then committed.
{ echo "BEGIN EXCLUSIVE;"; sleep "$hold"; echo "COMMIT;"; } | sqlite3 "$db" &
also_kill=$!
for _ in $(seq 50); do
  sqlite3 -cmd ".timeout 0" "$db" "select count(*) from sqlite_master" >/dev/null 2>&1 || break
  sleep 0.1
done
sqlite3 -cmd ".timeout 0" "$db" "select count(*) from sqlite_master" >/dev/null 2>&1 \
  && fail "the other program did not take the lock"
locked_at=$(millis)

started=$(millis)
(cd "$work/data" && exec "$vemo7") >"$work/vemo7.log" 2>&1 &
app_pid=$!
wait_window '^Numora$' "$app_pid"
up=$(( $(millis) - started ))
[ "$up" -lt 3000 ] || fail "the main window took $up ms to appear while the file was locked"
echo "main window up after $up ms with the file locked"

# The box that says the file is in use, beside the window.
for _ in $(seq 30); do [ "$(visible_main_windows)" -ge 2 ] && break; sleep 0.1; done
[ "$(visible_main_windows)" -ge 2 ] || fail "no box said that the file is in use"
shoot "$out/file_in_use.png"
echo "screenshot: $out/file_in_use.png"
grep -q "listed" "$work/vemo7.log" && fail "cards were listed while the file was locked"

# The lock goes; the cards follow.
wait "$also_kill" || true
also_kill=
freed=$(millis)
want="listed $count cards of Vemo under א"
wait_log "$want" "the cards were not listed when the lock went; wanted: $want"
echo "the lock was held $(( freed - locked_at )) ms; the cards were listed $(( $(millis) - freed )) ms or less after it went"

# Enter answers the box; the main window alone stays.
xdotool key Return
for _ in $(seq 30); do [ "$(visible_main_windows)" -eq 1 ] && break; sleep 0.1; done
[ "$(visible_main_windows)" -eq 1 ] || fail "the box did not close"
window=$(xdotool search --onlyvisible --name '^Numora$' | head -n1)
quit_vemo7
echo "passed: the window was up at once and said so, and listed the cards when the file was free"
