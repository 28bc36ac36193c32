#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Numora need,
# but only those that are missing, so a machine that has them all is left alone.
set -euo pipefail

packages=(
  g++ cmake ninja-build pkg-config clang-format
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
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q '^install ok installed$'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  sudo_cmd=()
  [ "$(id -u)" -ne 0 ] && sudo_cmd=(sudo)
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The SQLite3 ODBC driver registers itself in /etc/odbcinst.ini when installed;
# make sure the entry the program maps its database driver to is there.
if ! odbcinst -q -d -n SQLite3 >/dev/null 2>&1; then
  lib=$(find /usr/lib -name 'libsqlite3odbc.so' -print -quit)
  printf '[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=%s\nSetup=%s\n' "$lib" "$lib" > /tmp/numora-sqlite3-driver.ini
  odbcinst -i -d -f /tmp/numora-sqlite3-driver.ini
fi
