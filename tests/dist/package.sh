#!/usr/bin/env bash
# Makes the Debian package with CPack and reads it back with dpkg-deb: it
# declares what the programs need at run time, holds every file a user needs
# and no test program, and its maintainer scripts register the control
# library that the package really installs, at the place it installs it.
#
# usage: package.sh CPACK BUILD_DIR
# Exits 77 (skipped) when dpkg-deb, dpkg-shlibdeps or odbcinst is missing.
set -euo pipefail

cpack=$1 build=$(realpath "$2")
for tool in dpkg-deb dpkg-shlibdeps odbcinst; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "$*"; exit 1; }

"$cpack" --config "$build/CPackConfig.cmake" -B "$work" >"$work/cpack.log" 2>&1 || fail "cpack failed: $(cat "$work/cpack.log")"
debs=("$work"/numora_*.deb)
[ -f "${debs[0]}" ] || fail "no numora_*.deb made: $(cat "$work/cpack.log")"
deb=${debs[0]}
echo "package: $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for needed in libqt6widgets6 libqt6printsupport6 libodbc2 libodbcinst2 odbcinst libsqliteodbc qt6-qpa-plugins; do
  grep -qE "(^|, )$needed( |,|$)" <<<"$depends" || fail "the package does not depend on $needed"
done

dpkg-deb -c "$deb" | awk '{print $NF}' | sed 's|^\./|/|' >"$work/files"
for file in /usr/bin/numora /usr/bin/Vemo7 /usr/bin/numora-dbtool /usr/bin/numora-regsvr \
            /usr/libexec/numora/dialer.exe /usr/share/applications/org.numora.Numora.desktop \
            /usr/share/icons/hicolor/scalable/apps/org.numora.Numora.svg \
            /usr/share/metainfo/org.numora.Numora.metainfo.xml /usr/share/man/man1/numora.1.gz \
            /usr/share/man/man1/Vemo7.1.gz /usr/share/systemd/user/numora-sync.service \
            /usr/share/systemd/user/numora-sync.timer; do
  grep -qxF "$file" "$work/files" || fail "the package lacks $file"
done
! grep -E 'testcon|keysink|test_|bench' "$work/files" || fail "the package holds test programs"

dpkg-deb -e "$deb" "$work/control"
for script in postinst prerm postrm; do
  [ -x "$work/control/$script" ] || fail "no executable $script"
  sh -n "$work/control/$script" || fail "$script is not a valid shell script"
done
# The library the scripts register is the one the package installs.
for script in postinst prerm; do
  library=$(grep -o 'numora-regsvr .*--machine [^ ]*' "$work/control/$script" | awk '{print $NF}')
  [ -n "$library" ] || fail "$script does not register the control library for the machine"
  grep -qxF "$library" "$work/files" || fail "$script registers $library, which the package does not install"
done
# Run against an empty driver list (the machine's own left alone), twice: the
# SQLite3 driver is registered where it is missing, and only then.
mkdir "$work/odbc" && : >"$work/odbc/odbcinst.ini"
for _ in 1 2; do
  ODBCSYSINI=$work/odbc NUMORA_REGISTRY_DIR=$work/registry sh "$work/control/postinst" configure >/dev/null 2>&1 \
    || fail "postinst failed"
done
[ "$(grep -c '^\[SQLite3\]' "$work/odbc/odbcinst.ini")" = 1 ] || fail "postinst registered the driver $(cat "$work/odbc/odbcinst.ini")"
ODBCSYSINI=$work/odbc odbcinst -q -d -n SQLite3 | grep -q '^Driver=/.*libsqlite3odbc\.so$' \
  || fail "postinst did not register the SQLite3 driver: $(cat "$work/odbc/odbcinst.ini")"
echo "passed: the package declares its dependencies, holds its files, and registers what it installs"
