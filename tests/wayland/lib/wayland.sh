# shellcheck shell=bash
# What the Wayland end-to-end harnesses share (sway.sh, kwin.sh and the GNOME harness source it): the session and
# accessibility buses, native and X11 mousepads read through the accessibility bus, the focus as
# the compositor reports it, the Wayland clipboard. Builds on the X11 harness
# (tests/e2e/lib/harness.sh: session folder, spawning, waits, teardown, the program and its
# controls), which it sources; X11 helpers that activate windows through the window manager do
# not apply. Each compositor's harness defines:
#   wl_require_tools, wl_session_start, e2e_click_at X Y (through the compositor's pointer),
#   _wl_windows (one line a window: pid focused x y width height), wl_close PID,
#   wl_place_windows X11_PID WIN (editors and the program's window where the test wants them)
#
#   wl_start_buses                 a session bus and an accessibility bus (exported)
#   wl_start_editor wayland|x11 [FILE]
#                                  mousepad on GDK's Wayland or X11 backend; waits for its
#                                  window; sets E2E_LAST_PID
#   wl_start_editors wayland|x11 wayland|x11
#                                  both, in that order (the later one on top), on files that
#                                  begin "Wayland:" and "X11:"; sets native and x11 to their pids
#   wl_rect PID                    "X Y WIDTH HEIGHT" of the process's window, layout pixels
#   wl_focus PID                   click into the lower part of the process's window (clear of
#                                  the program's window) and wait until it has the focus
#   wl_focused_pid                 the pid of the window that has the focus, or nothing
#   wl_wait_focus PID              wait until the process's window has the focus
#   wl_text PID                    the text of the process's text view (accessibility bus)
#   wl_wait_text PID TEXT          wait until the text view holds TEXT; 1 when it never does
#   wl_clipboard                   the Wayland clipboard's text
#   wl_set_clipboard TEXT          own the Wayland clipboard with TEXT (a wl-copy kept running)
#   wait_for_the_next_look         as long as the program takes to notice another window
#   wl_paste_rounds PASTES NATIVE_PID X11_PID WIN DATE LABEL
#                                  PASTES rounds of a paste into each mousepad, each focused by
#                                  a click first, failing at the first that does not land; the
#                                  mousepads held "Wayland:" and "X11:" before, and native_text
#                                  and x11_text say what they hold after

. "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib/harness.sh"

WL_PYTHON=/usr/bin/python3 # Debian's, where the accessibility client library is installed
WL_A11Y_LAUNCHER=/usr/libexec/at-spi-bus-launcher

# The tools every Wayland harness needs, and the caller's.
_wl_require_tools() {
  e2e_require_tools Xwayland xhost wl-paste mousepad setpriv "$WL_PYTHON" "$WL_A11Y_LAUNCHER" "$@"
}

_wl_file_has_line() { [[ -s "$1" ]] && grep -q . "$1"; }

wl_start_buses() {
  e2e_spawn dbus dbus-daemon --session --nofork --nopidfile \
    --address="unix:path=$XDG_RUNTIME_DIR/bus" --print-address=3 3>"$E2E_DIR/bus"
  e2e_wait_until "the session bus" grep -q '^unix:' "$E2E_DIR/bus"
  DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$E2E_DIR/bus")
  export DBUS_SESSION_BUS_ADDRESS
  e2e_spawn atspi "$WL_A11Y_LAUNCHER" --launch-immediately --a11y=1
  e2e_wait_until "the accessibility bus" _wl_a11y_bus_up

}

_wl_a11y_bus_up() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}

wl_rect() { _wl_windows | awk -v pid="$1" '$1 == pid {print $3, $4, $5, $6; exit}'; }

_wl_has_window() { [[ -n "$(wl_rect "$1")" ]]; }

wl_focused_pid() { _wl_windows | awk '$2 == 1 {print $1; exit}'; }

_wl_focused() { [[ "$(wl_focused_pid)" == "$1" ]]; }

wl_wait_focus() { e2e_wait_until "the window of $1 to have the focus" _wl_focused "$1"; }

wl_start_editor() {
  local backend=$1 file=${2:-}
  e2e_spawn "mousepad-$backend" env GDK_BACKEND="$backend" mousepad --disable-server ${file:+"$file"}
  local pid=$E2E_LAST_PID
  e2e_wait_until "the $backend mousepad's window" _wl_has_window "$pid"
  e2e_wait_until "the $backend mousepad's text on the accessibility bus" _wl_text_readable "$pid"
  E2E_LAST_PID=$pid
  e2e_log "mousepad on $backend started: pid $pid"
}

wl_start_editors() {
  printf 'Wayland:' >"$E2E_DIR/native.txt"
  printf 'X11:' >"$E2E_DIR/x11.txt"
  local backend
  for backend in "$@"; do
    if [[ $backend == x11 ]]; then
      wl_start_editor x11 "$E2E_DIR/x11.txt"
      x11=$E2E_LAST_PID
    else
      wl_start_editor wayland "$E2E_DIR/native.txt"
      native=$E2E_LAST_PID
    fi
  done
}

wl_focus() {
  local pid=$1 x y w h
  read -r x y w h <<<"$(wl_rect "$pid")"
  e2e_click_at $((x + w / 2)) $((y + h - 40))
  wl_wait_focus "$pid"
}

_WL_TEXT_QUERY='
import sys, gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi

def children(o):
    return (c for c in (o.get_child_at_index(i) for i in range(o.get_child_count())) if c is not None)

def text_view(o):
    if o.get_role_name() == "text":
        return o
    for c in children(o):
        found = text_view(c)
        if found:
            return found

for app in children(Atspi.get_desktop(0)):
    if app.get_process_id() == int(sys.argv[1]):
        view = text_view(app)
        if view:
            sys.stdout.write(Atspi.Text.get_text(view, 0, -1))
            sys.exit(0)
sys.exit(1)'

wl_text() { "$WL_PYTHON" -c "$_WL_TEXT_QUERY" "$1" 2>/dev/null; }

_wl_text_readable() { wl_text "$1" >/dev/null; }

_wl_text_is() { [[ "$(wl_text "$1")" == "$2" ]]; }

wl_wait_text() { e2e_wait_until "mousepad $1 to hold [$2]" _wl_text_is "$1" "$2"; }

wl_clipboard() { timeout "$E2E_TIMEOUT" wl-paste --no-newline 2>/dev/null; }

_wl_clipboard_is() { [[ "$(wl_clipboard)" == "$1" ]]; }

wl_set_clipboard() {
  # It serves the text until another client takes the clipboard, then ends by itself.
  e2e_spawn wl-copy wl-copy --foreground -- "$1"
  e2e_wait_until "the Wayland clipboard to hold [$1]" _wl_clipboard_is "$1"
}

# The program notices a window at its next 500 ms look at the foreground window; a hand takes
# longer than that to reach the copy panel.
wait_for_the_next_look() { sleep 0.6; }

wl_paste_rounds() {
  local pastes=$1 native=$2 x11=$3 win=$4 date=$5 label=$6 i
  native_text="Wayland:"
  x11_text="X11:"
  for ((i = 1; i <= pastes; i++)); do
    wl_focus "$native"
    wait_for_the_next_look
    e2e_click_control "$win" copy
    native_text+=$date
    wl_wait_text "$native" "$native_text" || e2e_fail "paste $i never reached the native mousepad"
    wl_focus "$x11"
    wait_for_the_next_look
    e2e_click_control "$win" copy
    x11_text+=$date
    wl_wait_text "$x11" "$x11_text" || e2e_fail "paste $i never reached the X11 mousepad"
  done
  e2e_log "$label: native Wayland mousepad: $pastes of $pastes pastes landed"
  e2e_log "$label: X11 mousepad: $pastes of $pastes pastes landed"
}
