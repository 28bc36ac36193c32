#!/usr/bin/env bash
# Every program answers --help with its usage and --version with its release,
# on standard output with status 0, in an empty folder with no display: no
# window opens and no file is made. An answer that cannot be written is a
# failure.
#
# usage: help.sh RELEASE PROGRAM...
set -euo pipefail

release=$1
shift
programs=()
for program in "$@"; do programs+=("$(realpath "$program")"); done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=xcb HOME=$work XDG_CONFIG_HOME=$work/config ODBCINI=$work/odbc.ini
status=0
fail() { echo "FAIL: $*"; status=1; }

for program in "${programs[@]}"; do
  name=$(basename "$program")
  before=$status
  code=0
  timeout 20 "$program" --help >out 2>err || code=$?
  [ "$code" -eq 0 ] || fail "$name --help ended with $code: $(cat err)"
  head -n1 out | grep -q "^usage: " || fail "$name --help printed no usage: $(head -n1 out)"
  [ ! -s err ] || fail "$name --help wrote on standard error: $(cat err)"

  code=0
  timeout 20 "$program" --version >out 2>err || code=$?
  [ "$code" -eq 0 ] || fail "$name --version ended with $code: $(cat err)"
  [ "$(cat out)" = "$name (Numora) $release" ] || fail "$name --version printed '$(cat out)'"

  code=0
  timeout 20 "$program" --help >/dev/full 2>err || code=$?
  [ "$code" -eq 1 ] || fail "$name --help onto a full disk ended with $code"
  grep -q "cannot write" err || fail "$name --help onto a full disk said '$(cat err)'"
  [ "$status" -ne "$before" ] || echo "$name: --help and --version answered"
done

rm -f out err
leftover=$(ls -A)
[ -z "$leftover" ] || fail "the programs left files behind: $leftover"
exit $status
