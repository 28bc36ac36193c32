#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Numora need,
# but only those that are missing, so a machine that has them all is left alone.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config clang-format lld
  qt6-base-dev
  unixodbc unixodbc-dev odbcinst libsqliteodbc sqlite3 libsqlite3-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  libxdo-dev libxtst-dev
  culmus fonts-liberation2
  xvfb xdotool x11-utils x11-xserver-utils
  openbox trayer
  poppler-utils
  libx11-dev imagemagick
  desktop-file-utils appstream groff-base dpkg-dev
  python3-vobject abook
  postgresql odbc-postgresql
  radicale vdirsyncer curl
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

# Installing and registering need root: an ordinary user goes through sudo.
as_root=()
[ "$(id -u)" -eq 0 ] || as_root=(sudo)

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  "${as_root[@]}" apt-get update -qq
  "${as_root[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The SQLite3 ODBC driver registers itself in /etc/odbcinst.ini when installed;
# make sure the entry the program maps its database driver to is there.
if ! odbcinst -q -d -n SQLite3 >/dev/null 2>&1; then
  lib=$(find /usr/lib /usr/lib64 /usr/local/lib -name 'libsqlite3odbc.so' -print -quit 2>/dev/null || true)
  if [ -z "$lib" ]; then
    echo "install-deps: the SQLite3 ODBC driver (libsqlite3odbc.so) is not installed; install libsqliteodbc" >&2
    exit 1
  fi
  printf '[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=%s\nSetup=%s\n' "$lib" "$lib" |
    "${as_root[@]}" odbcinst -i -d -r
fi

# The database server's ODBC driver registers "PostgreSQL Unicode" when
# installed; a machine where it was installed without registering gets the
# entry the office's data sources and the tests name.
if ! odbcinst -q -d -n "PostgreSQL Unicode" >/dev/null 2>&1; then
  lib=$(find /usr/lib /usr/lib64 /usr/local/lib -name 'psqlodbcw.so' -print -quit 2>/dev/null || true)
  if [ -z "$lib" ]; then
    echo "install-deps: the PostgreSQL ODBC driver (psqlodbcw.so) is not installed; install odbc-postgresql" >&2
    exit 1
  fi
  printf '[PostgreSQL Unicode]\nDescription=PostgreSQL ODBC driver (Unicode version)\nDriver=%s\n' "$lib" |
    "${as_root[@]}" odbcinst -i -d -r
fi
