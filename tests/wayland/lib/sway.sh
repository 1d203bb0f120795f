# shellcheck shell=bash
# End-to-end harness on a Wayland desktop: sway headless, XWayland for the program and X11
# editors, native Wayland editors beside them, all driven like a person through sway's own
# cursor. Builds on the X11 harness (tests/e2e/lib/harness.sh: session folder, spawning,
# waits, teardown, the program and its controls), which it sources; X11 helpers that activate
# windows through the window manager do not apply, since sway only marks such windows urgent.
#
#   . "$(dirname "${BASH_SOURCE[0]}")/lib/sway.sh"
#   wl_session_start
#   e2e_start_kelvado --faketime "2003-04-07 10:00:00"
#
# Environment read, besides the X11 harness's:
#   KELVADO_POINTER_DEVICE   the test helper that gives the headless seat a pointer
#
# Session:
#   wl_require_tools [TOOL...]     exit 77 (CTest: skipped) when something is missing
#   wl_session_start               sway as nobody with its own runtime folder (it refuses root),
#                                  XWayland open to root, a session bus and an accessibility bus,
#                                  a pointer in the seat; exports WAYLAND_DISPLAY, SWAYSOCK,
#                                  DISPLAY
# Windows and input:
#   e2e_click_at X Y [BUTTON]      (replaced) move sway's cursor there, press, hold, release
#   wl_start_editor wayland|x11 [FILE]
#                                  mousepad on GDK's Wayland or X11 backend; waits for its
#                                  window; sets E2E_LAST_PID
#   wl_rect PID                    "X Y WIDTH HEIGHT" of the process's window, layout pixels
#   wl_focus PID                   click into the lower part of the process's window (clear of
#                                  the program's floating window) and wait until it has the focus
#   wl_focused_pid                 the pid of the window that has the focus, or nothing
#   wl_wait_focus PID              wait until the process's window has the focus
#   wl_text PID                    the text of the process's text view (accessibility bus)
#   wl_wait_text PID TEXT          wait until the text view holds TEXT; 1 when it never does
#   wl_close PID                   a close request to the process's window; waits until it ends
#   wl_clipboard                   the Wayland clipboard's text
#   wl_set_clipboard TEXT          own the Wayland clipboard with TEXT (a wl-copy kept running)

. "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib/harness.sh"

WL_PYTHON=/usr/bin/python3 # Debian's, where the accessibility client library is installed
WL_A11Y_LAUNCHER=/usr/libexec/at-spi-bus-launcher

wl_require_tools() {
  e2e_require_tools sway Xwayland swaymsg xhost wl-paste grim mousepad setpriv "$WL_PYTHON" \
    "$WL_A11Y_LAUNCHER" "$@"
  [[ -x "${KELVADO_POINTER_DEVICE:-}" ]] || {
    e2e_log "skipped: KELVADO_POINTER_DEVICE does not name the pointer helper (CTest sets it)"
    exit 77
  }
}

_wl_file_has_line() { [[ -s "$1" ]] && grep -q . "$1"; }

wl_session_start() {
  e2e_private_folders wl
  # sway refuses to run as root; nobody's runtime folder must be its own and private.
  mkdir -p "$E2E_DIR/sway"
  chown nobody:nogroup "$E2E_DIR/sway"
  chmod 700 "$E2E_DIR/sway"
  # The editors serve their text on the accessibility bus: it is how the tests read it.
  unset NO_AT_BRIDGE DISPLAY SWAYSOCK

  # sway's defaults otherwise, as a user meets them. Once XWayland's display is set up, sway
  # runs the exec line, which says where everything is.
  local where=$E2E_DIR/sway/where
  cat >"$E2E_DIR/sway.conf" <<EOF
output HEADLESS-1 resolution 1024x768 position 0 0
xwayland enable
exec sh -c 'printf "%s\\n" "\$WAYLAND_DISPLAY" "\$SWAYSOCK" "\$DISPLAY" >$where.tmp && mv $where.tmp $where'
EOF
  e2e_spawn sway setpriv --reuid=nobody --regid=nogroup --clear-groups \
    env -i PATH=/usr/bin:/bin HOME="$E2E_DIR/sway" XDG_RUNTIME_DIR="$E2E_DIR/sway" \
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
    sway -c "$E2E_DIR/sway.conf"
  e2e_wait_until "sway to start" _wl_file_has_line "$where"
  local lines
  mapfile -t lines <"$where"
  export WAYLAND_DISPLAY=$E2E_DIR/sway/${lines[0]} SWAYSOCK=${lines[1]} DISPLAY=${lines[2]}
  [[ -n "${lines[2]}" ]] || e2e_fail "sway started no XWayland"
  # XWayland starts with the first X client and admits only its own user: let root in.
  setpriv --reuid=nobody --regid=nogroup --clear-groups env -i DISPLAY="$DISPLAY" \
    xhost +si:localuser:root >/dev/null

  e2e_spawn dbus dbus-daemon --session --nofork --nopidfile \
    --address="unix:path=$XDG_RUNTIME_DIR/bus" --print-address=3 3>"$E2E_DIR/bus"
  e2e_wait_until "the session bus" grep -q '^unix:' "$E2E_DIR/bus"
  DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$E2E_DIR/bus")
  export DBUS_SESSION_BUS_ADDRESS
  e2e_spawn atspi "$WL_A11Y_LAUNCHER" --launch-immediately --a11y=1
  e2e_wait_until "the accessibility bus" _wl_a11y_bus_up

  e2e_spawn pointer "$KELVADO_POINTER_DEVICE"
  e2e_wait_until "a pointer in the seat" grep -q '^ready' "$E2E_DIR/logs/pointer.log"
  e2e_log "session $E2E_DIR: sway on $WAYLAND_DISPLAY, XWayland on $DISPLAY"
}

_wl_a11y_bus_up() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}

e2e_click_at() {
  local x=$1 y=$2 button=${3:-1}
  swaymsg -q seat - cursor set "$x" "$y"
  local wait_ms=$((_e2e_last_click_ms + E2E_CLICK_GAP_MS - $(_e2e_now_ms)))
  ((wait_ms <= 0)) || sleep "$(printf '0.%03d' "$wait_ms")"
  swaymsg -q seat - cursor press "button$button"
  sleep 0.08
  swaymsg -q seat - cursor release "button$button"
  _e2e_last_click_ms=$(_e2e_now_ms)
}

# Prints "pid focused x y width height" for every window in sway's tree.
_wl_windows() {
  swaymsg -t get_tree | "$WL_PYTHON" -c '
import json, sys
def walk(n):
    if n.get("pid"):
        r = n["rect"]
        print(n["pid"], int(n["focused"]), r["x"], r["y"], r["width"], r["height"])
    for c in n.get("nodes", []) + n.get("floating_nodes", []):
        walk(c)
walk(json.load(sys.stdin))'
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

wl_close() {
  swaymsg -q "[pid=$1] kill"
  e2e_wait_exit "$1"
}

wl_clipboard() { timeout "$E2E_TIMEOUT" wl-paste --no-newline 2>/dev/null; }

_wl_clipboard_is() { [[ "$(wl_clipboard)" == "$1" ]]; }

wl_set_clipboard() {
  # It serves the text until another client takes the clipboard, then ends by itself.
  e2e_spawn wl-copy wl-copy --foreground -- "$1"
  e2e_wait_until "the Wayland clipboard to hold [$1]" _wl_clipboard_is "$1"
}
