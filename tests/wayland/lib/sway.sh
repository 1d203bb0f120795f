# shellcheck shell=bash
# End-to-end harness on sway: sway headless, XWayland for the program and X11 editors, native
# Wayland editors beside them, all driven like a person through sway's own cursor. The rest is
# shared with the other Wayland harnesses (wayland.sh).
#
#   . "$(dirname "${BASH_SOURCE[0]}")/lib/sway.sh"
#   wl_session_start
#   e2e_start_kelvado --faketime "2003-04-07 10:00:00"
#
# Environment read, besides the X11 harness's:
#   KELVADO_POINTER_DEVICE   the test helper that gives the headless seat a pointer
#
#   wl_require_tools [TOOL...]     exit 77 (CTest: skipped) when something is missing
#   wl_session_start               sway as nobody with its own runtime folder (it refuses root),
#                                  XWayland open to root, a session bus and an accessibility bus,
#                                  a pointer in the seat; exports WAYLAND_DISPLAY, SWAYSOCK,
#                                  DISPLAY
#   e2e_click_at X Y [BUTTON]      (replaced) move sway's cursor there, press, hold, release
#   wl_place_windows X11_PID WIN   nothing: sway tiles the editors and floats the program's window
#   wl_close PID                   a close request to the process's window; waits until it ends
#   wl_screenshot FILE             the screen as a PNG (grim)

. "$(dirname "${BASH_SOURCE[0]}")/wayland.sh"

wl_require_tools() {
  _wl_require_tools sway swaymsg grim "$@"
  [[ -x "${KELVADO_POINTER_DEVICE:-}" ]] || {
    e2e_log "skipped: KELVADO_POINTER_DEVICE does not name the pointer helper (CTest sets it)"
    exit 77
  }
}

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

  wl_start_buses
  e2e_spawn pointer "$KELVADO_POINTER_DEVICE"
  e2e_wait_until "a pointer in the seat" grep -q '^ready' "$E2E_DIR/logs/pointer.log"
  e2e_log "session $E2E_DIR: sway on $WAYLAND_DISPLAY, XWayland on $DISPLAY"
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

wl_screenshot() { grim "$1"; }

wl_close() {
  swaymsg -q "[pid=$1] kill"
  e2e_wait_exit "$1"
}


wl_place_windows() { :; }
