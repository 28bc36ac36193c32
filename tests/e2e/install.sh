#!/usr/bin/env bash
# Installs the build to a fresh prefix and judges what a desktop user gets:
# the desktop entry, the metainfo and the manual pages pass their validators,
# the entry's icon and launcher are there, nothing installed points back into
# the build; then the entry's command starts the program under Xvfb in a
# private home. That first start makes the data folder with an empty
# directory, registers the control library for the user in place of a
# registration whose library is gone, and shows the main window listing no
# cards; afterwards the registration is found as it is.
#
# usage: install.sh VEMO7 DBTOOL CMAKE BUILD_DIR OUTPUT_DIR
# (VEMO7 and DBTOOL, the build's own, are not run: the installed ones are.)
# Exits 77 (skipped) when Xvfb, xdotool, a validator, groff or a screenshot
# tool is missing.
set -euo pipefail

cmake=$3 build=$(realpath "$4") out=$(realpath -m "$5")
source "$(dirname "$0")/world.sh"
require_tools Xvfb xdotool desktop-file-validate appstreamcli groff readelf
require_screenshots
mkdir -p "$out"

prefix=$work/prefix
"$cmake" --install "$build" --prefix "$prefix" >"$work/install.log" 2>&1 \
  || fail "cmake --install failed: $(cat "$work/install.log")"

app_id=org.numora.Numora
entry=$prefix/share/applications/$app_id.desktop
desktop-file-validate "$entry" || fail "desktop-file-validate refused $entry"
appstreamcli validate --no-net --pedantic "$prefix/share/metainfo/$app_id.metainfo.xml" \
  || fail "appstreamcli refused the metainfo"
icon=$(sed -n 's/^Icon=//p' "$entry")
[ -f "$prefix/share/icons/hicolor/scalable/apps/$icon.svg" ] || fail "no scalable icon named $icon"
# Every command installed has its manual page, and groff reads each without a warning.
for command in "$prefix"/bin/*; do
  name=$(basename "$command")
  page=$prefix/share/man/man1/$name.1.gz
  [ -f "$page" ] || fail "$name has no manual page"
  # A page that only points at another needs that other page.
  target=$(zcat "$page" | sed -n '1s/^\.so //p')
  if [ -n "$target" ]; then
    [ -f "$prefix/share/man/$target.gz" ] || fail "$page points at $target, which is not installed"
    continue
  fi
  warnings=$(zcat "$page" | groff -man -ww -z -Tutf8 2>&1) || fail "groff failed on $page: $warnings"
  [ -z "$warnings" ] || fail "$page: $warnings"
done
# The installed files find each other from where they are, never through the build.
for elf in "$prefix"/bin/* "$prefix"/lib*/numora/* "$prefix"/libexec/numora/*; do
  [ "$(head -c4 "$elf" | tr -d '\0')" = $'\x7fELF' ] || continue
  ! readelf -d "$elf" | grep -F "$build" || fail "$elf looks into the build folder for its libraries"
done
library=$(find "$prefix" -name libKwendo.so -print -quit)
[ -n "$library" ] || fail "the control library was not installed"

# A registration left from an install that has since gone away.
mkdir -p "$work/gone"
cp "$library" "$work/gone/libKwendo.so"
"$prefix/bin/numora-regsvr" "$work/gone/libKwendo.so" >/dev/null
rm -r "$work/gone"

# The desktop entry's command, with the prefix's commands on PATH as a user
# install would have them, started from a folder that is not the data folder.
export PATH=$prefix/bin:$PATH QT_LOGGING_RULES="numora.grid.debug=true"
unset XDG_DATA_HOME
vemo7=$(sed -n 's/^Exec=//p' "$entry")
start_display
start_vemo7 "$work/data"
wait_log 'listed 0 cards of Vemo under א from [] to []' "the installed program did not list an empty directory"
shoot "$out/installed_first_start.png"
echo "screenshot: $out/installed_first_start.png"
quit_vemo7
[ -f "$HOME/.local/share/numora/VEMO.MDB" ] || fail "no directory file in ~/.local/share/numora"
[ -z "$(ls -A "$work/data")" ] || fail "the launcher wrote into the folder it was started from: $(ls -A "$work/data")"
grep -qF "\"$library\"" "$NUMORA_REGISTRY_DIR/user.json" || fail "the control library was not registered for the user"
! grep -qF "$work/gone" "$NUMORA_REGISTRY_DIR/user.json" || fail "the registration still names the library that is gone"
"$prefix/bin/numora-regsvr" --if-missing Kwendo.Ravelle "$library" | grep -q 'registered already' \
  || fail "the registration was not found after the first start"
echo "passed: installed, validated, and the desktop entry's command showed an empty directory"
