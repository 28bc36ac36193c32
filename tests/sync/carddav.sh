#!/usr/bin/env bash
# A group kept in step with a contacts server: a real radicale on 127.0.0.1
# with one user and a storage folder of its own, a real vdirsyncer pairing
# it with a card folder, and a phone played by curl PUT and DELETE on the
# server. Each round is what the timer runs: vdirsyncer sync, numora-dbtool
# sync, vdirsyncer sync. Both are stopped at the end, even on failure.
#
# usage: carddav.sh NUMORA-DBTOOL
set -euo pipefail
[ -z "${NUMORA_TRACE:-}" ] || set -x

dbtool=$(realpath "$1")
for tool in radicale vdirsyncer curl sqlite3 python3; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
server_pid=
cleanup() {
  [ -z "$server_pid" ] || kill "$server_pid" 2>/dev/null || true
  [ -z "$server_pid" ] || wait "$server_pid" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export HOME=$work XDG_CONFIG_HOME=$work/config ODBCINI=$work/odbc.ini
cd "$work"
status=0
fail() { echo "FAIL: $*"; status=1; }

port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
echo 'phone:secret' >htpasswd
cat >radicale.conf <<EOF
[server]
hosts = 127.0.0.1:$port
[auth]
type = htpasswd
htpasswd_filename = $work/htpasswd
htpasswd_encryption = plain
[storage]
filesystem_folder = $work/storage
[logging]
level = warning
EOF
radicale --config radicale.conf >radicale.log 2>&1 &
server_pid=$!
base=http://127.0.0.1:$port
book=$base/phone/book
for _ in $(seq 100); do
  curl -s -o /dev/null -u phone:secret "$base/" && break
  sleep 0.1
done
dav() { curl -sS -f -u phone:secret "$@"; }
# The user's own collection comes with their first request; the address book
# is made as a phone's client makes it.
dav -X PROPFIND -H 'Depth: 0' "$base/phone/" >/dev/null
dav -X MKCOL "$book/" -H 'Content-Type: application/xml' --data-binary @- >/dev/null <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<D:mkcol xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:carddav">
  <D:set><D:prop><D:resourcetype><D:collection/><C:addressbook/></D:resourcetype></D:prop></D:set>
</D:mkcol>
EOF

mkdir -p cards status
cat >vdirsyncer.conf <<EOF
[general]
status_path = "$work/status/"
[pair book]
a = "book_local"
b = "book_remote"
collections = null
[storage book_local]
type = "filesystem"
path = "$work/cards/"
fileext = ".vcf"
[storage book_remote]
type = "carddav"
url = "$book/"
username = "phone"
password = "secret"
EOF
vds() { vdirsyncer -c vdirsyncer.conf "$@" >>vdirsyncer.log 2>&1 || { cat vdirsyncer.log; return 1; }; }
vds discover
round() {
  vds sync
  "$dbtool" sync --group Personal db.mdb cards "$@" >>sync.log
  vds sync
}

# A phone's card as its client sends it: CRLF, vCard 3.0, its own UID.
put() { # HREF-UID NAME NUMBER [EXTRA]
  printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nUID:%s\r\nFN:%s\r\nN:%s;;;;\r\nTEL;TYPE=CELL:%s\r\n%bEND:VCARD\r\n' \
    "$1" "$2" "$2" "$3" "${4:-}" | dav -X PUT -H 'Content-Type: text/vcard' --data-binary @- "$book/$1.vcf" >/dev/null
}
group() { sqlite3 db.mdb "SELECT Name || '|' || ifnull(Mobil, '') FROM Vemo ORDER BY Name"; }
# The server's cards as FN|TEL lines, as it stores them.
server() {
  dav -X REPORT -H 'Depth: 1' -H 'Content-Type: application/xml' "$book/" --data-binary \
    '<C:addressbook-query xmlns:D="DAV:" xmlns:C="urn:ietf:params:xml:ns:carddav"><D:prop><C:address-data/></D:prop></C:addressbook-query>' |
    python3 -c '
import sys, re, html
for data in re.findall(r"<[^>]*address-data[^>]*>(.*?)</", sys.stdin.read(), re.S):
    lines = html.unescape(data).replace("\r", "").replace("\n ", "").split("\n")
    fn = [l[3:] for l in lines if l.startswith("FN:")]
    cell = [l.split(":", 1)[1] for l in lines if l.upper().startswith("TEL") and "CELL" in l.upper()]
    print((fn or [""])[0] + "|" + (cell or [""])[0])' | sort
}
# The names on a side; the server also holds the card the group refused.
names() { sed 's/|.*//' | grep -vx 'No Number' | sort; }

# --- A first round: the group's cards reach the server, a phone's card the group.
"$dbtool" sample db.mdb 3 >/dev/null
put phone-1 'דנה לוי' '+972 52 765 4321'
round
group | grep -qx 'דנה לוי|052-7654321' || fail "the phone's Hebrew card is not in the group in national form: $(group)"
[ "$(server | names)" = "$(group | names)" ] || fail "server and group differ after the first round: $(server) / $(group)"
[ "$(server | wc -l)" -eq 4 ] || fail "the server does not hold the 4 cards: $(server)"

# --- The phone adds, changes and deletes; Numora adds.
numora_card=$(sqlite3 db.mdb "SELECT Name FROM Vemo WHERE Name <> 'דנה לוי' LIMIT 1")
numora_href=$(grep -l "FN:$numora_card" cards/*.vcf | xargs basename)
put phone-1 'דנה לוי' '+972 52 000 1111' 'BDAY:1990-04-15\r\n'
put phone-2 'Ron Phone' '054-1112222'
dav -X DELETE "$book/$numora_href" >/dev/null
sqlite3 db.mdb "INSERT INTO Vemo (Name, Mobil) VALUES ('Typed Here', '050-3334444')"
round
group | grep -qx 'דנה לוי|052-0001111' || fail "the phone's change did not reach the group: $(group)"
group | grep -qx 'Ron Phone|054-1112222' || fail "the phone's new card did not reach the group"
group | grep -q "^$numora_card|" && fail "the card deleted on the phone is still in the group"
server | grep -qx 'Typed Here|050-3334444' || fail "the card typed in Numora did not reach the server: $(server)"
[ "$(server | names)" = "$(group | names)" ] || fail "server and group differ: $(server) / $(group)"

# --- Changed on both sides: the group's version on both, the phone's kept aside.
sqlite3 db.mdb "UPDATE Vemo SET Mobil = '052-9999999' WHERE Name = 'דנה לוי'"
put phone-1 'דנה לוי' '+972 52 888 8888' 'BDAY:1990-04-15\r\n'
round
grep -q 'conflicts/phone-1-.*\.vcf' sync.log || fail "the conflict is not named: $(tail -5 sync.log)"
server | grep -qx 'דנה לוי|052-9999999' || fail "the group's version is not on the server: $(server)"
grep -q '+972 52 888 8888' cards/conflicts/phone-1-*.vcf || fail "the phone's version was not kept"
dav "$book/phone-1.vcf" | grep -q 'BDAY' || fail "the phone's birthday was lost when the group's version was written"
[ "$(server | wc -l)" -eq "$(group | wc -l)" ] || fail "the kept version went to the server as a card: $(server)"

# --- A phone card the group refuses stays where it is.
printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nUID:phone-3\r\nFN:No Number\r\nN:No Number;;;;\r\nEND:VCARD\r\n' |
  dav -X PUT -H 'Content-Type: text/vcard' --data-binary @- "$book/phone-3.vcf" >/dev/null
round
grep -q 'refused phone-3.vcf.*no phone' sync.log || fail "the refused card is not named with its reason: $(tail -3 sync.log)"
round
dav -o /dev/null "$book/phone-3.vcf" || fail "the refused card was deleted from the server"

# --- A sync killed at a random moment, then run again: both sides whole and equal.
for i in $(seq 400); do
  printf 'BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Bulk %03d\r\nTEL;TYPE=CELL:050-1%06d\r\nEND:VCARD\r\n' "$i" "$i"
done >bulk.vcf
"$dbtool" import --format vcard --group Personal db.mdb bulk.vcf >/dev/null
for i in $(seq 20); do put "phone-bulk-$i" "Phone Bulk $i" "053-2$(printf %06d "$i")"; done
vds sync
"$dbtool" sync --group Personal db.mdb cards >/dev/null 2>&1 &
sync_pid=$!
sleep "0.$(( RANDOM % 40 ))"
kill -9 "$sync_pid" 2>/dev/null || true
wait "$sync_pid" 2>/dev/null || true
ls cards/*.tmp >/dev/null 2>&1 && echo "note: a half-written file was left, as a kill may leave one"
# What a kill leaves of the sync's own goes; a .tmp of anyone else's stays.
touch cards/numora-stale.vcf.tmp cards/other.tmp
round
if ls cards/*.vcf.tmp >/dev/null 2>&1; then fail "the sync's half-written files were not removed: $(ls cards)"; fi
[ -e cards/other.tmp ] || fail "the sync removed a .tmp file it did not write"
expected=$(( 5 + 400 + 20 ))
[ "$(group | wc -l)" -eq "$expected" ] || fail "after a killed sync the group holds $(group | wc -l) cards, not $expected"
[ "$(server | names)" = "$(group | names)" ] || fail "after a killed sync the server and the group differ"
if ls cards/conflicts/*Bulk* >/dev/null 2>&1; then fail "the rerun after the kill saw conflicts"; fi

# --- Too many deletions stop; --force goes on.
for i in $(seq 1 10); do dav -X DELETE "$book/phone-bulk-$i.vcf" >/dev/null; done
vds sync
code=0
"$dbtool" sync --group Personal db.mdb cards >stop.log || code=$?
[ "$code" -eq 3 ] && grep -q -- '--force' stop.log || fail "10 deletions were not stopped ($code): $(cat stop.log)"
[ "$(group | wc -l)" -eq "$expected" ] || fail "the stopped sync changed the group"
round --force
[ "$(group | wc -l)" -eq $(( expected - 10 )) ] || fail "--force did not delete the 10 cards"

# --- The record as the first release kept it (one table, each card's whole
# text) still syncs: a phone's deletion arrives, nothing else changes.
sqlite3 db.mdb "CREATE TABLE NumoraSync (Grp TEXT NOT NULL, Href TEXT NOT NULL, Name TEXT, Card TEXT, Stamp TEXT,
    PRIMARY KEY (Grp, Href));
  INSERT INTO NumoraSync SELECT 'Vemo', s.Href, s.Name, v.Name || char(31) || ifnull(v.Phone, '') || char(31) ||
    ifnull(v.Mobil, '') || char(31) || ifnull(v.Line, '') || char(31) || ifnull(v.Fax, '') || char(31) ||
    ifnull(v.Address, '') || char(31) || ifnull(v.Email, ''), '' FROM NumoraSyncVemo s JOIN Vemo v ON v.Name = s.Name;
  DROP TABLE NumoraSyncVemo"
gone_href=$(grep -l 'FN:Bulk 400' cards/*.vcf | xargs basename)
dav -X DELETE "$book/$gone_href" >/dev/null
vds sync
"$dbtool" sync --group Personal db.mdb cards >old.log
[ "$(grep -v '^refused phone-3' old.log)" = 'deleted from the group: Bulk 400' ] || fail "the first release's record did not sync as it was: $(cat old.log)"
[ "$(sqlite3 db.mdb "SELECT count(*) FROM sqlite_master WHERE name = 'NumoraSync'")" = 0 ] ||
  fail "the first release's record was left beside the new one"
[ "$(sqlite3 db.mdb 'SELECT count(*) FROM NumoraSyncVemo')" -eq "$(group | wc -l)" ] || fail "the record lost cards"

# --- A lost state deletes nothing and copies nothing.
before=$(group)
sqlite3 db.mdb 'DROP TABLE NumoraSyncVemo'
"$dbtool" sync --group Personal db.mdb cards >lost.log
[ "$(group)" = "$before" ] || fail "the sync without its state changed the group"
grep -q 'deleted\|added\|both sides' lost.log && fail "the sync without its state changed something: $(cat lost.log)"
vds sync
[ "$(server | names)" = "$(group | names)" ] || fail "after the lost state the server and the group differ"

[ "$status" -eq 0 ] && echo "PASS: a group and a contacts server kept in step"
exit "$status"
