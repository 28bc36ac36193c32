#!/usr/bin/env bash
# A database server of the tests' own: `pgserver.sh start STATE` makes a
# cluster in a new temporary folder and starts it, listening on a Unix socket
# in that folder only (no TCP), with trust authentication for the one user
# "numora"; `pgserver.sh stop STATE` stops it and removes the folder, and
# `pause` and `resume` stop and start it again in between. STATE is
# a file in the build tree where start leaves the folder's path, the port and
# the socket folder (shell assignments) for the tests and for stop; when the
# server cannot be started, STATE says why (PG_UNAVAILABLE) and the tests that
# need it skip with that reason.
#
# The server refuses to run as root: as root the cluster belongs to the
# `postgres` user the package makes, and its commands run as that user.
set -uo pipefail

action=${1:-}
state=${2:-}
[ -n "$action" ] && [ -n "$state" ] || {
  echo "usage: pgserver.sh start|stop STATE-FILE" >&2
  exit 2
}

bin=${NUMORA_PG_BIN:-}
if [ -z "$bin" ]; then
  for dir in /usr/lib/postgresql/*/bin; do
    [ -x "$dir/initdb" ] && bin=$dir
  done
fi

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

unavailable() {
  printf 'PG_UNAVAILABLE=%q\n' "$1" >"$state"
  echo "pgserver: $1" >&2
  exit 0 # the tests that need the server skip and say why
}

stop() {
  [ -f "$state" ] || return 0
  # shellcheck disable=SC1090
  . "$state"
  if [ -n "${PG_DIR:-}" ] && [ -d "$PG_DIR" ]; then
    as_owner "$bin/pg_ctl" -D "$PG_DIR/data" -m immediate -w stop >/dev/null 2>&1 || true
    rm -rf "$PG_DIR"
  fi
  rm -f "$state"
}

server_options() {
  printf '%s' "-c listen_addresses='' -c unix_socket_directories='$1' -p $2 -c fsync=off -c max_connections=200"
}

case $action in
stop) stop ;;
pause | resume)
  # A server going away under its clients and coming back, on the same socket.
  # shellcheck disable=SC1090
  . "$state"
  if [ "$action" = pause ]; then
    as_owner "$bin/pg_ctl" -D "$PG_DIR/data" -m fast -w stop >/dev/null
  else
    as_owner "$bin/pg_ctl" -D "$PG_DIR/data" -l "$PG_DIR/server.log" -w -t 30 \
      -o "$(server_options "$PG_DIR" "$PG_PORT")" start >/dev/null
  fi
  ;;
start)
  # A cluster a run cut short left behind goes first.
  stop 2>/dev/null
  mkdir -p "$(dirname "$state")"
  [ -n "$bin" ] || unavailable "no PostgreSQL server programs (initdb, pg_ctl) are installed"
  if [ "$(id -u)" -eq 0 ] && ! id postgres >/dev/null 2>&1; then
    unavailable "running as root, and there is no postgres user to run the server as"
  fi
  dir=$(mktemp -d "${TMPDIR:-/tmp}/numora-pg.XXXXXX") || unavailable "no temporary folder"
  [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
  chmod 700 "$dir"
  # A port no other server on this machine uses; the socket file is named by it.
  port=$(python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])' \
    2>/dev/null || echo $((20000 + RANDOM % 20000)))
  printf 'PG_DIR=%q\nPG_PORT=%q\nPG_SOCKET=%q\nPG_USER=numora\nPG_DATABASE=numora\n' \
    "$dir" "$port" "$dir" >"$state"
  if ! as_owner "$bin/initdb" -D "$dir/data" -U numora --auth=trust -E UTF8 --locale=C.UTF-8 \
    >"$dir/initdb.log" 2>&1; then
    reason="initdb failed: $(tail -3 "$dir/initdb.log" | tr '\n' ' ')"
    rm -rf "$dir"
    unavailable "$reason"
  fi
  if ! as_owner "$bin/pg_ctl" -D "$dir/data" -l "$dir/server.log" -w -t 30 \
    -o "$(server_options "$dir" "$port")" start >/dev/null 2>&1; then
    reason="the server did not start: $(tail -3 "$dir/server.log" 2>/dev/null | tr '\n' ' ')"
    rm -rf "$dir"
    unavailable "$reason"
  fi
  if ! as_owner "$bin/psql" -h "$dir" -p "$port" -U numora -d postgres -qAt \
    -c "CREATE DATABASE numora" >/dev/null 2>&1; then
    as_owner "$bin/pg_ctl" -D "$dir/data" -m immediate -w stop >/dev/null 2>&1
    rm -rf "$dir"
    unavailable "the test database could not be made"
  fi
  ;;
*)
  echo "pgserver: unknown action $action" >&2
  exit 2
  ;;
esac
