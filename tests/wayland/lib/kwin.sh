# shellcheck shell=bash
# End-to-end harness on KDE Plasma's compositor: KWin 5.27 headless (--virtual) with XWayland,
# the program installed with `cmake --install` so that its desktop entry grants it KWin's
# interfaces, native and X11 editors, all driven like a person through KWin's pointer (the
# kwin_driver helper, granted the same way). The rest is shared with the other Wayland
# harnesses (wayland.sh).
#
#   . "$(dirname "${BASH_SOURCE[0]}")/lib/kwin.sh"
#   wl_session_start
#   e2e_start_kelvado --faketime "2003-04-07 10:00:00"   (starts the installed program)
#
# Environment read, besides the X11 harness's:
#   KELVADO_BUILD_DIR     the build folder to install from (CTest passes it)
#   KELVADO_KWIN_DRIVER   the test helper that lists windows and clicks (CTest passes it)
#
#   wl_require_tools [TOOL...]     exit 77 (CTest: skipped) when something is missing
#   wl_session_start [XKB_LAYOUT [XKB_VARIANT]]
#                                  KWin from a copy of its binary (the packaged one carries a
#                                  file capability that containers refuse), the desktop entries
#                                  of the installed program and the driver in XDG_DATA_DIRS, the
#                                  keyboard layout given (default: KWin's, us), a session bus
#                                  (KWin's with WL_ON_KWIN_BUS=1) and an accessibility bus;
#                                  exports WAYLAND_DISPLAY, DISPLAY, DBUS_SESSION_BUS_ADDRESS;
#                                  sets E2E_KELVADO_DIR to the installed program's folder
#   e2e_click_at X Y               (replaced) move KWin's pointer there, press, hold, release
#   wl_place_windows X11_PID WIN   KWin centres every window: the X11 editor of X11_PID goes to
#                                  the lower left (GTK keeps it 461 wide), so that it and a
#                                  centred native editor each keep a part the other never covers,
#                                  and the program's window WIN above both
#   wl_close PID                   a close request to the process's window; waits until it ends
#   wl_screenshot FILE             the screen as a PNG, through KWin's ScreenShot2 (the driver's
#                                  desktop entry grants it)

. "$(dirname "${BASH_SOURCE[0]}")/wayland.sh"

WL_KWIN=/usr/bin/kwin_wayland

wl_require_tools() {
  _wl_require_tools "$WL_KWIN" dbus-run-session cmake "$@"
  [[ -x "${KELVADO_KWIN_DRIVER:-}" && -d "${KELVADO_BUILD_DIR:-}" ]] || {
    e2e_log "skipped: KELVADO_KWIN_DRIVER or KELVADO_BUILD_DIR not set (CTest sets them)"
    exit 77
  }
}

wl_session_start() {
  local layout=${1:-} variant=${2:-}
  e2e_private_folders kwin
  # The editors serve their text on the accessibility bus: it is how the tests read it.
  unset NO_AT_BRIDGE DISPLAY
  # XWayland's sockets live there; a machine without any X server may lack the folder.
  [[ -d /tmp/.X11-unix ]] || install -d -m 1777 /tmp/.X11-unix

  # The program as a user installs it; its settings file then lives beside it.
  local prefix=$E2E_DIR/prefix
  cmake --install "$KELVADO_BUILD_DIR" --prefix "$prefix" >"$E2E_DIR/logs/install.log" ||
    e2e_fail "cmake --install failed (see logs/install.log)"
  E2E_KELVADO_DIR=$prefix/bin
  # The driver's entry, written as the program's is.
  mkdir -p "$E2E_DIR/driver/applications" "$E2E_DIR/kwin"
  cat >"$E2E_DIR/driver/applications/kelvado-kwin-driver.desktop" <<EOF
[Desktop Entry]
Type=Application
Name=kwin_driver
Exec="$KELVADO_KWIN_DRIVER"
NoDisplay=true
X-KDE-Wayland-Interfaces=org_kde_plasma_window_management,org_kde_kwin_fake_input
X-KDE-DBUS-Restricted-Interfaces=org.kde.KWin.ScreenShot2
EOF

  cp "$WL_KWIN" "$E2E_DIR/kwin/kwin_wayland"
  local where=$E2E_DIR/kwin/where
  cat >"$E2E_DIR/kwin/session.sh" <<EOF
#!/bin/sh
printf '%s\\n' "\$WAYLAND_DISPLAY" "\$DISPLAY" "\$DBUS_SESSION_BUS_ADDRESS" >$where.tmp && mv $where.tmp $where
exec sleep infinity
EOF
  chmod +x "$E2E_DIR/kwin/session.sh"
  e2e_spawn kwin env XDG_DATA_DIRS="$prefix/share:$E2E_DIR/driver:/usr/local/share:/usr/share" \
    ${layout:+XKB_DEFAULT_LAYOUT="$layout"} ${variant:+XKB_DEFAULT_VARIANT="$variant"} \
    dbus-run-session -- "$E2E_DIR/kwin/kwin_wayland" --virtual --xwayland --socket kelvado-kwin \
    --width 1024 --height 768 --exit-with-session "$E2E_DIR/kwin/session.sh"
  e2e_wait_until "KWin to start" _wl_file_has_line "$where"
  local lines
  mapfile -t lines <"$where"
  export WAYLAND_DISPLAY=${lines[0]} DISPLAY=${lines[1]}
  # KWin's own bus, where it serves its screenshots and KDE's global shortcuts. The session's
  # programs get a bus of their own, or, with WL_ON_KWIN_BUS=1, share KWin's as in a Plasma
  # session (the paste shortcut needs that), with an accessibility bus of the test's own.
  WL_KWIN_BUS=${lines[2]}
  [[ -n "$DISPLAY" ]] || e2e_fail "KWin started no XWayland"
  if [[ -n "${WL_ON_KWIN_BUS:-}" ]]; then
    export DBUS_SESSION_BUS_ADDRESS=$WL_KWIN_BUS
    e2e_spawn atspi "$WL_A11Y_LAUNCHER" --launch-immediately --a11y=1
    e2e_wait_until "the accessibility bus" _wl_a11y_bus_up
  else
    wl_start_buses
  fi
  e2e_log "session $E2E_DIR: KWin on $WAYLAND_DISPLAY, XWayland on $DISPLAY"
}

e2e_click_at() {
  local wait_ms=$((_e2e_last_click_ms + E2E_CLICK_GAP_MS - $(_e2e_now_ms)))
  ((wait_ms <= 0)) || sleep "$(printf '0.%03d' "$wait_ms")"
  "$KELVADO_KWIN_DRIVER" click "$1" "$2"
  _e2e_last_click_ms=$(_e2e_now_ms)
}

_wl_windows() { "$KELVADO_KWIN_DRIVER" windows | awk '$1 != 0'; }

wl_screenshot() { DBUS_SESSION_BUS_ADDRESS=$WL_KWIN_BUS "$KELVADO_KWIN_DRIVER" screenshot "$1"; }

wl_close() {
  "$KELVADO_KWIN_DRIVER" close "$1"
  e2e_wait_exit "$1"
}

wl_place_windows() {
  local editor
  editor=$(e2e_find_window "$1")
  e2e_move "$editor" 0 300
  e2e_resize "$editor" 180 400
  e2e_move "$2" 300 40
}
