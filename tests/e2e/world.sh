# Sourced by the end-to-end scripts: a private world for the real program in
# a fresh folder, an X display of its own, and the helpers the scripts share.
#
# After sourcing, $work is that folder; HOME, XDG_CONFIG_HOME, ODBCINI,
# NUMORA_REGISTRY_DIR and WINDIR point inside it, and there is no session bus
# (without an address the bus client would try to start one through X11 on
# its own thread, racing the program's exit). At exit the processes in
# $app_pid, $also_kill and the display server are ended and $work removed.

# Exits 77 (skipped) when one of the tools is not installed.
require_tools() {
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
  done
}

# Defines shoot FILE, a screenshot of the whole display; exits 77 (skipped)
# when no tool takes one.
require_screenshots() {
  if command -v import >/dev/null; then
    shoot() { import -window root "$1"; }
  elif command -v xwd >/dev/null && [ -x /usr/bin/convert ]; then
    shoot() { xwd -root -silent | /usr/bin/convert xwd:- "$1"; }
  else
    echo "skipped: no screenshot tool (import, or xwd with convert)"; exit 77
  fi
}

work=$(mktemp -d)
xvfb_pid= app_pid= also_kill=
cleanup() {
  local pid
  for pid in $app_pid $also_kill $xvfb_pid; do kill "$pid" 2>/dev/null || true; done
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "$*"; [ -f "$work/vemo7.log" ] && cat "$work/vemo7.log"; exit 1; }

export HOME=$work/home XDG_CONFIG_HOME=$work/home/.config ODBCINI=$work/home/.odbc.ini
export NUMORA_REGISTRY_DIR=$work/registry WINDIR=$work/windows
export DBUS_SESSION_BUS_ADDRESS=unix:path=$work/no-session-bus
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$NUMORA_REGISTRY_DIR" "$WINDIR" "$work/data"

# Xvfb on a display number it picks itself, so runs side by side never meet.
# -noreset: without it the server resets when a run's last client leaves, and
# a later start can meet a display that is not accepting connections.
start_display() {
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.1; done
  [ -s "$work/display" ] || fail "Xvfb did not start: $(cat "$work/xvfb.log")"
  export DISPLAY=:$(head -n1 "$work/display")
  unset WAYLAND_DISPLAY QT_QPA_PLATFORM
}

# Starts openbox on the display and waits until it manages windows.
start_window_manager() {
  openbox >"$work/openbox.log" 2>&1 &
  also_kill="$also_kill $!"
  for _ in $(seq 100); do xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' && break; sleep 0.1; done
  xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id' || fail "openbox did not start"
}

# Prints the outer frame of a managed window as "x y width height" in
# pixels: the window's own area and the frame the window manager put round it.
frame_of() {
  local x y w h extents left right top bottom
  eval "$(xwininfo -id "$1" | sed -n 's/^ *Absolute upper-left X: *\(-*[0-9]*\)/x=\1/p; s/^ *Absolute upper-left Y: *\(-*[0-9]*\)/y=\1/p; s/^ *Width: *\([0-9]*\)/w=\1/p; s/^ *Height: *\([0-9]*\)/h=\1/p')"
  extents=$(xprop -id "$1" _NET_FRAME_EXTENTS 2>/dev/null | sed -n 's/.*= *//p' | tr -d ' ')
  IFS=, read -r left right top bottom <<<"${extents:-0,0,0,0}"
  echo "$((x - left)) $((y - top)) $((w + left + right)) $((h + top + bottom))"
}

# The main window's stored placement (section [Setting] of the settings
# file), given and read as "state x y width height" with the place and size
# of the frame in pixels; the file keeps twips, 15 to the pixel at the
# display's 96 DPI.
store_placement() {
  printf '[Setting]\nMainWindow=%s\nMainLeft=%s\nMainTop=%s\nMainWidth=%s\nMainHeight=%s\n' \
    "$1" $(($2 * 15)) $(($3 * 15)) $(($4 * 15)) $(($5 * 15)) >"$XDG_CONFIG_HOME/Numora.ini"
}
stored_placement() {
  local key value state= x= y= w= h=
  while IFS== read -r key value; do
    case $key in
      MainWindow) state=$value ;; MainLeft) x=$((value / 15)) ;; MainTop) y=$((value / 15)) ;;
      MainWidth) w=$((value / 15)) ;; MainHeight) h=$((value / 15)) ;;
    esac
  done <"$XDG_CONFIG_HOME/Numora.ini"
  echo "$state $x $y $w $h"
}

# Binds every character beyond ASCII in the texts given to a key code of its
# own, two to a key. xdotool then types them with keys the display's map has;
# left to itself it binds a key for one keystroke and unbinds it at once, and
# a busy program that reads the map after the unbinding drops the letter.
bind_chars() {
  local spare syms i args=()
  spare=($(xmodmap -pke | awk '$1 == "keycode" && NF == 3 {print $2}'))
  syms=($(/usr/bin/python3 -c 'import sys; print(" ".join(sorted({"U%04X" % ord(c) for c in "".join(sys.argv[1:]) if ord(c) > 127})))' "$@"))
  [ $(( (${#syms[@]} + 1) / 2 )) -le ${#spare[@]} ] || fail "not enough spare key codes for ${#syms[@]} characters"
  for ((i = 0; i < ${#syms[@]}; i += 2)); do
    args+=(-e "keycode ${spare[$((i / 2))]} = ${syms[$i]} ${syms[$((i + 1))]:-${syms[$i]}}")
  done
  [ ${#args[@]} -eq 0 ] || xmodmap "${args[@]}"
}

# Sets $found to the first visible window whose name matches the pattern,
# waiting up to $wait_seconds (30 s unless a script sets more); fails when the
# process given (if any) ends first.
wait_window() {
  local pattern=$1 pid=${2:-}
  found=
  for _ in $(seq $((${wait_seconds:-30} * 10))); do
    found=$(xdotool search --onlyvisible --name "$pattern" 2>/dev/null | head -n1 || true)
    [ -n "$found" ] && return
    [ -z "$pid" ] || kill -0 "$pid" 2>/dev/null || fail "the program ended before its window ($pattern) appeared"
    sleep 0.1
  done
  fail "no window named $pattern within ${wait_seconds:-30} s"
}

# Waits up to $wait_seconds (30 s unless a script sets more) for every visible
# window whose name matches the pattern to go; fails with the message given
# when one stays.
wait_gone() {
  local pattern=$1 message=$2
  for _ in $(seq $((${wait_seconds:-30} * 10))); do
    xdotool search --onlyvisible --name "$pattern" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  fail "$message"
}

# Waits up to $wait_seconds (30 s unless a script sets more) for the
# program's log to hold the text given; fails with the message given when it
# does not. What the program tells the user is logged after the step that
# leads to it (a started process, a written file), so a check straight after
# that step can come too early on a busy machine.
wait_log() {
  local text=$1 message=$2
  for _ in $(seq $((${wait_seconds:-30} * 10))); do
    grep -qF -- "$text" "$work/vemo7.log" && return 0
    sleep 0.1
  done
  fail "$message"
}

# The program logs where its windows and their named controls are, in pixels
# within each window, whenever it lays a window out (numora.layout): a line
# 'layout "TITLE" NAME X Y WIDTH HEIGHT' for the window itself (at 0 0), each
# control, and a list's first cells as NAME[ROW,COLUMN]. The scripts wait for
# windows and find controls by it, not by fixed times and pixels.

# Marks the end of the program's log: wait_shown looks only beyond it.
mark_log() { log_mark=$(wc -l <"$work/vemo7.log"); }

# Waits up to $wait_seconds (30 s unless a script sets more) for the text
# given to be logged after the last mark_log; fails with the message given
# when it is not.
wait_new_log() {
  local text=$1 message=$2
  for _ in $(seq $((${wait_seconds:-30} * 10))); do
    tail -n +$((${log_mark:-0} + 1)) "$work/vemo7.log" | grep -qF -- "$text" && return 0
    sleep 0.1
  done
  fail "$message"
}

# Waits for the window or control NAME to be laid out after the last mark_log.
wait_shown() { wait_new_log "\" $1 " "$1 was not shown within ${wait_seconds:-30} s"; }

# Sets $at to "X Y", the middle of the control NAME of the window titled
# TITLE where the program last laid it out, waiting up to $wait_seconds for
# it to be laid out at all.
place_of() {
  local title=$1 name=$2 line=
  for _ in $(seq $((${wait_seconds:-30} * 10))); do
    line=$(grep -F "layout \"$title\" $name " "$work/vemo7.log" | tail -n1 || true)
    [ -n "$line" ] && break
    sleep 0.1
  done
  [ -n "$line" ] || fail "the program did not lay out $name of $title within ${wait_seconds:-30} s"
  at=$(awk '{print int($(NF-3) + $(NF-1) / 2), int($(NF-2) + $NF / 2)}' <<<"$line")
}

# click WINDOW TITLE NAME [BUTTON]: a click on the middle of a control.
click() {
  place_of "$2" "$3"
  xdotool mousemove --window "$1" $at click "${4:-1}"
}

# Waits up to $wait_seconds for the keyboard focus to be on a window other
# than the one given (a box or window the program opened over it).
wait_focus_off() {
  for _ in $(seq $((${wait_seconds:-30} * 10))); do
    [ "$(xdotool getwindowfocus 2>/dev/null)" != "$1" ] && return 0
    sleep 0.1
  done
  fail "the focus stayed on window $1"
}

# Waits up to $wait_seconds for the keyboard focus to be on the window given.
wait_focus() {
  for _ in $(seq $((${wait_seconds:-30} * 10))); do
    [ "$(xdotool getwindowfocus 2>/dev/null)" = "$1" ] && return 0
    sleep 0.1
  done
  fail "window $1 did not get the focus"
}

# Starts the program in a data folder (logging to $work/vemo7.log, its
# layout among the rest) and sets $window to its main window once that is
# laid out.
start_vemo7() {
  export QT_LOGGING_RULES="${QT_LOGGING_RULES:+$QT_LOGGING_RULES;}numora.layout.debug=true"
  (cd "$1" && exec "$vemo7") >"$work/vemo7.log" 2>&1 &
  app_pid=$!
  wait_window '^Numora$' "$app_pid"
  window=$found
  place_of Numora frmVemoMenuBar
}

# File > Add...: sets $editor to the editor, open in add mode with its name
# box focused.
open_add_editor() {
  mark_log
  xdotool key --window "$window" alt+f
  wait_shown mnuFile
  xdotool key a
  wait_window '^Add New Phone Number$' "$app_pid"
  editor=$found
  place_of "Add New Phone Number" TxtName
  wait_focus "$editor"
}

# Leaves through File > Exit and checks that the program then ended by itself.
quit_vemo7() {
  xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus --sync "$window" 2>/dev/null || true
  mark_log
  xdotool key --window "$window" alt+f
  wait_shown mnuFile
  [ -z "${1:-}" ] || shoot "$1"
  xdotool key x
  for _ in $(seq $((${wait_seconds:-30} * 10))); do kill -0 "$app_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$app_pid" 2>/dev/null && fail "Vemo7 still running after File > Exit"
  local status=0
  wait "$app_pid" || status=$?
  app_pid=
  [ "$status" -eq 0 ] || fail "Vemo7 exited with $status"
}
