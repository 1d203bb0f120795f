# shellcheck shell=bash
# End-to-end harness on GNOME Shell: the shell headless (Wayland, a virtual monitor, XWayland on
# demand) with the program installed as a user installs it (`cmake --install` into ~/.local,
# which also installs and enables its shell extension), native and X11 editors beside it, all
# driven like a person through a virtual pointer inside the shell. Builds on the sway harness
# (tests/wayland/lib/sway.sh: editors, their text on the accessibility bus, focus and close
# waits), which builds on the X11 one; what differs here is how the session starts, how windows
# are listed, clicked and closed, and how the clipboard is read (wl-paste hangs under GNOME).
#
#   . "$(dirname "${BASH_SOURCE[0]}")/lib/gnome.sh"
#   gn_session_start
#   gn_start_kelvado --faketime "2003-04-07 10:00:00"
#
# Environment read, besides the X11 harness's:
#   KELVADO_BUILD_DIR   the build folder to install from (CTest passes it)
#   GN_DRIVER_DIR       the test-only shell extension that opens org.gnome.Shell.Eval
#
# Session:
#   gn_require_tools [TOOL...]     exit 77 (CTest: skipped) when something is missing
#   gn_session_start               a private system bus (the shell asks logind there), a session
#                                  bus, the accessibility bus, the program and its extension
#                                  installed and enabled, the shell started, its overview closed;
#                                  exports WAYLAND_DISPLAY, DISPLAY, XAUTHORITY; sets GN_SHELL_PID
#   gn_eval JS                     what the JavaScript evaluates to inside the shell (JSON)
#   gn_gsettings ARGS...           gsettings on the shell's settings
#   gn_start_kelvado [OPTIONS]     e2e_start_kelvado on the installed program
#   gn_extension_gone              true once the shell no longer serves the extension's object
#   gn_screenshot FILE             the screen as a PNG, by the shell itself; waits until it is whole
# Windows and input (the sway harness's wl_* helpers work on top of these):
#   e2e_click_at X Y [BUTTON]      (replaced) move the shell's pointer there, press, hold, release
#   gn_place PID X Y               move the process's window (its frame's corner) there
#   gn_close_title TITLE           a close request to the windows titled TITLE
#   gn_press_ctrl_alt KEYSYM [HOLD]
#                                  Ctrl and Alt down, the key pressed and let go (after HOLD
#                                  seconds), Ctrl and Alt let go 100 ms later, as a person does,
#                                  through a keyboard in the shell (its bindings see it as a real
#                                  one)
#   gn_keys KEYSYM:PRESSED|RELEASED...
#                                  those keys, in that order, through the same keyboard
#   wl_close PID                   (replaced) a close request to the process's windows; waits
#                                  until it ends
#   wl_clipboard / wl_set_clipboard TEXT
#                                  (replaced) through XWayland's clipboard

. "$(dirname "${BASH_SOURCE[0]}")/../../wayland/lib/wayland.sh"
# The program's dialog and message boxes, read through the accessibility bus.
. "$(dirname "${BASH_SOURCE[0]}")/../../e2e/lib/dialog_helpers.sh"

GN_UUID=kelvado-paste@kelvado
GN_DRIVER_UUID=kelvado-test-driver@kelvado

gn_require_tools() {
  e2e_require_tools gnome-shell Xwayland gdbus gsettings cmake mousepad "$WL_PYTHON" "$WL_A11Y_LAUNCHER" "$@"
  [[ -d "${KELVADO_BUILD_DIR:-}" && -d "${GN_DRIVER_DIR:-}" ]] || {
    e2e_log "skipped: KELVADO_BUILD_DIR and GN_DRIVER_DIR must name the build and the driver (CTest sets them)"
    exit 77
  }
}

gn_eval() {
  local reply
  reply=$(gdbus call --session --dest org.gnome.Shell --object-path /org/gnome/Shell \
    --method org.gnome.Shell.Eval "$1" 2>/dev/null) || return 1
  [[ "$reply" == "(true, '"*"')" ]] || return 1
  reply=${reply#"(true, '"}
  printf '%s\n' "${reply%"')"}"
}

# The shell's settings, kept in a file: the install enables the extension there, and the shell
# reads them there. The editors keep theirs in memory (no session to restore).
gn_gsettings() { GSETTINGS_BACKEND=keyfile gsettings "$@"; }

_gn_shell_up() { [[ "$(gn_eval 'true')" == true ]]; }
# Once the shell has finished starting up, which ends by showing the overview; asked again until
# done, since the shell ignores it while the overview is still opening.
_gn_close_overview() {
  [[ "$(gn_eval 'const up = !Main.layoutManager._startingUp;
    if (up) Main.overview.hide();
    up && !Main.overview.visible')" == true ]]
}

gn_session_start() {
  e2e_private_folders gnome
  # The editors serve their text on the accessibility bus: it is how the tests read it.
  unset NO_AT_BRIDGE DISPLAY XAUTHORITY

  # /run/systemd/seats makes the shell ask logind on the system bus; a private one answers
  # that nobody is there.
  cat >"$E2E_DIR/system-bus.conf" <<EOF
<busconfig>
  <type>system</type>
  <listen>unix:path=$XDG_RUNTIME_DIR/system_bus</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/><allow own="*"/><allow send_destination="*"/><allow receive_sender="*"/>
  </policy>
</busconfig>
EOF
  e2e_spawn system-bus dbus-daemon --config-file="$E2E_DIR/system-bus.conf" --nofork --nopidfile
  export DBUS_SYSTEM_BUS_ADDRESS=unix:path=$XDG_RUNTIME_DIR/system_bus
  wl_start_buses

  # As a user installs it; the shell finds extensions only when it starts.
  GSETTINGS_BACKEND=keyfile cmake --install "$KELVADO_BUILD_DIR" --prefix "$HOME/.local" \
    >"$E2E_DIR/logs/install.log" 2>&1 || e2e_fail "cmake --install failed (see logs/install.log)"
  [[ "$(gn_gsettings get org.gnome.shell enabled-extensions)" == "['$GN_UUID']" ]] ||
    e2e_fail "the install did not enable the extension: $(gn_gsettings get org.gnome.shell enabled-extensions)"
  mkdir -p "$XDG_DATA_HOME/gnome-shell/extensions/$GN_DRIVER_UUID"
  cp "$GN_DRIVER_DIR"/* "$XDG_DATA_HOME/gnome-shell/extensions/$GN_DRIVER_UUID/"
  gn_gsettings set org.gnome.shell enabled-extensions "['$GN_UUID', '$GN_DRIVER_UUID']"

  e2e_spawn gnome-shell env GSETTINGS_BACKEND=keyfile gnome-shell --headless --wayland \
    --wayland-display=wayland-gnome --virtual-monitor 1024x768
  # shellcheck disable=SC2034 # read by the scripts that source this file
  GN_SHELL_PID=$E2E_LAST_PID
  E2E_TIMEOUT=60 e2e_wait_until "GNOME Shell to start" _gn_shell_up
  export WAYLAND_DISPLAY=wayland-gnome
  DISPLAY=$(sed -n 's/.*Using public X11 display \(:[0-9]*\).*/\1/p' "$E2E_DIR/logs/gnome-shell.log" | head -n 1)
  XAUTHORITY=$(compgen -G "$XDG_RUNTIME_DIR/.mutter-Xwaylandauth.*" | head -n 1) || true
  [[ -n "$DISPLAY" && -n "$XAUTHORITY" ]] || e2e_fail "GNOME Shell offers no XWayland"
  export DISPLAY XAUTHORITY
  _e2e_display_up=1
  # The shell opens on its overview, as after a login; a person leaves it first.
  e2e_wait_until "the overview to close" _gn_close_overview
  e2e_log "session $E2E_DIR: GNOME Shell on $WAYLAND_DISPLAY, XWayland on $DISPLAY"
}

gn_start_kelvado() {
  E2E_KELVADO_DIR=$HOME/.local/bin
  e2e_start_kelvado "$@"
}

# The shell's windows, most recently focused first.
_GN_WINDOWS='global.display.get_tab_list(imports.gi.Meta.TabList.NORMAL_ALL, null)'

# The pointer is made once, in the shell, and kept there.
_GN_POINTER='(global._kelvadoTestPointer ??= imports.gi.Clutter.get_default_backend().get_default_seat()
  .create_virtual_device(imports.gi.Clutter.InputDeviceType.POINTER_DEVICE))'

# Made once, like the pointer.
_GN_KEYBOARD='(global._kelvadoTestKeyboard ??= imports.gi.Clutter.get_default_backend().get_default_seat()
  .create_virtual_device(imports.gi.Clutter.InputDeviceType.KEYBOARD_DEVICE))'

gn_keys() {
  local js="const k = $_GN_KEYBOARD, t = imports.gi.GLib.get_monotonic_time(), C = imports.gi.Clutter;" key
  for key in "$@"; do
    js+="k.notify_keyval(t, C.KEY_${key%%:*}, C.KeyState.${key#*:});"
  done
  gn_eval "$js" >/dev/null || e2e_fail "the shell pressed no keys"
}

gn_press_ctrl_alt() {
  gn_keys Control_L:PRESSED Alt_L:PRESSED "$1:PRESSED"
  sleep "${2:-0}"
  gn_keys "$1:RELEASED"
  sleep 0.1
  gn_keys Alt_L:RELEASED Control_L:RELEASED
}

_gn_button() { # BUTTON PRESSED|RELEASED
  gn_eval "$_GN_POINTER.notify_button(imports.gi.GLib.get_monotonic_time(), $1,
    imports.gi.Clutter.ButtonState.$2)" >/dev/null
}

e2e_click_at() {
  local x=$1 y=$2 button=${3:-1}
  gn_eval "$_GN_POINTER.notify_absolute_motion(imports.gi.GLib.get_monotonic_time(), $x, $y)" >/dev/null
  local wait_ms=$((_e2e_last_click_ms + E2E_CLICK_GAP_MS - $(_e2e_now_ms)))
  ((wait_ms <= 0)) || sleep "$(printf '0.%03d' "$wait_ms")"
  # Clutter numbers the buttons 1 left, 2 middle, 3 right, as X does.
  _gn_button "$button" PRESSED
  sleep 0.08
  _gn_button "$button" RELEASED
  _e2e_last_click_ms=$(_e2e_now_ms)
}

# Prints "pid focused x y width height" for every window, as the sway harness's does.
_wl_windows() {
  local rows
  rows=$(gn_eval "$_GN_WINDOWS"'.map(w => {
    const r = w.get_frame_rect();
    return [w.get_pid(), w === global.display.focus_window ? 1 : 0, r.x, r.y, r.width, r.height].join(" ");
  }).join(";")') || return 0
  rows=${rows#\"}
  tr ';' '\n' <<<"${rows%\"}"
}

gn_place() {
  local pid=$1 x=$2 y=$3
  e2e_wait_until "the window of $pid at $x,$y" _gn_move "$pid" "$x" "$y" ||
    e2e_fail "the window of $pid is at $(wl_rect "$pid")"
}

# Asked again until it is done: the shell places a new window itself once, after it has mapped.
_gn_move() {
  gn_eval "$_GN_WINDOWS.filter(w => w.get_pid() === $1).forEach(w => w.move_frame(true, $2, $3))" >/dev/null
  [[ "$(wl_rect "$1")" == "$2 $3 "* ]]
}

wl_close() {
  gn_eval "$_GN_WINDOWS.filter(w => w.get_pid() === $1).forEach(w => w.delete(global.get_current_time()))" >/dev/null
  e2e_wait_exit "$1"
}

gn_close_title() {
  gn_eval "$_GN_WINDOWS.filter(w => w.get_title() === '$1').forEach(w => w.delete(global.get_current_time()))" >/dev/null
}

# The shell writes the PNG on a thread of its own after the call returns; PNG's last chunk, IEND,
# says the file is whole.
gn_screenshot() {
  gn_eval "const Gio = imports.gi.Gio;
    const stream = Gio.File.new_for_path('$1').replace(null, false, Gio.FileCreateFlags.NONE, null);
    new imports.gi.Shell.Screenshot().screenshot(false, stream, (shot, result) => {
      try { shot.screenshot_finish(result); } finally { stream.close(null); }
    })" >/dev/null || e2e_fail "the shell took no screenshot"
  e2e_wait_until "the screenshot $1" _gn_png_whole "$1"
}

_gn_png_whole() { [[ -s "$1" ]] && cmp -s <(tail -c 8 "$1") <(printf 'IEND\xaeB`\x82'); }

gn_extension_gone() {
  ! gdbus introspect --session --dest org.gnome.Shell --object-path /org/kelvado/Paste 2>/dev/null |
    grep -q 'interface org.kelvado.Paste'
}

wl_clipboard() { e2e_clipboard; }

wl_set_clipboard() { e2e_set_clipboard "$1"; }
