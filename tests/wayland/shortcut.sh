#!/bin/bash
# The paste shortcut on KDE Plasma: KWin headless, the program installed so that KWin grants it
# its interfaces, [hotkey] paste=Ctrl+Alt+D. A person typing in a native Wayland mousepad, then
# in an X11 one, presses Ctrl+Alt+D through KWin's keyboard, letting go of Ctrl and Alt 100 ms
# after the D, PASTES times in each; the date lands each time and the x typed after it is a
# plain x (no modifier left down). A second copy with settings of its own finds the shortcut
# taken and says so. After a crash the next start gets its shortcut back, also with a changed
# line; a clean exit leaves the key free; a key KWin holds itself is told taken; a copy KWin
# grants nothing to still pastes into X11 programs with it.
#   shortcut.sh PASTES
pastes=$1
. "$(dirname "${BASH_SOURCE[0]}")/lib/kwin.sh"
. "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib/dialog_helpers.sh"
date_text="2003年04月07日(月)"
taken_text() { echo "ショートカット $1 はほかのプログラムが使っています。ショートカットなしで動きます。"; }

wl_require_tools dbus-send
dialog_require_tools
# The program on KWin's session bus, where KDE's global shortcuts are.
WL_ON_KWIN_BUS=1 wl_session_start

# Who KDE's global shortcuts service says holds a key (Qt's code, modifiers included).
shortcut_holders() {
  dbus-send --session --print-reply --dest=org.kde.kglobalaccel /kglobalaccel \
    org.kde.KGlobalAccel.getGlobalShortcutsByKey "int32:$1" | awk '/string/ {print $2}' | paste -sd ' '
}
_held_by() { [[ "$(shortcut_holders "$1")" == *"\"$2\""* ]]; }
ctrl_alt_d=$((0x04000000 | 0x08000000 | 0x44))
ctrl_alt_e=$((0x04000000 | 0x08000000 | 0x45))
ctrl_f10=$((0x04000000 | 0x01000039))

# A person's press: the key taps, the modifiers go up a moment later.
press() { "$KELVADO_KWIN_DRIVER" keys +ctrl +alt "+$1" "-$1" 100 -alt -ctrl; }
type_x() { "$KELVADO_KWIN_DRIVER" keys +x -x; }

wl_start_editors x11 wayland

e2e_install_kelvado
printf '[hotkey]\npaste=Ctrl+Alt+D\n' >"$E2E_KELVADO_DIR/kelvado.ini"
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
win=$E2E_KELVADO_WIN
wl_place_windows "$x11" "$win"
# The program takes its shortcut once its window is up.
e2e_wait_until "KDE's global shortcuts service to hold Ctrl+Alt+D for the program" _held_by "$ctrl_alt_d" kelvado

# Each paste ends when the editor shows it; the x goes out after, as a person types on.
shortcut_rounds() { # PID TEXT LABEL
  local pid=$1 i
  text=$2
  wl_focus "$pid"
  for ((i = 1; i <= pastes; i++)); do
    press d
    text+=$date_text
    wl_wait_text "$pid" "$text" || e2e_fail "$3: shortcut paste $i never landed alone: [$(wl_text "$pid")]"
    type_x
    text+=x
  done
  wl_wait_text "$pid" "$text" || e2e_fail "$3: the x after the last paste: [$(wl_text "$pid")]"
  e2e_log "$3: $pastes of $pastes shortcut pastes landed, each x after them plain"
}
shortcut_rounds "$native" "Wayland:" "native Wayland mousepad"
native_text=$text
shortcut_rounds "$x11" "X11:" "X11 mousepad"
x11_text=$text

# A second copy, in a folder of its own with its own settings: the shortcut is the first one's.
mkdir -p "$E2E_DIR/second"
cp "$E2E_KELVADO_DIR/kelvado" "$E2E_DIR/second/kelvado"
printf '[hotkey]\npaste=Ctrl+Alt+D\n' >"$E2E_DIR/second/kelvado.ini"
e2e_spawn second "$E2E_DIR/second/kelvado"
second=$E2E_LAST_PID
E2E_KELVADO_PID=$second dialog_wait_box "情報" "$(taken_text Ctrl+Alt+D)"
kill -KILL "$second"
e2e_wait_exit "$second"
_e2e_alive "$E2E_KELVADO_PID" || e2e_fail "the first copy ended"

# A crash leaves the service's entry as it was: the next start gets the same key again, and
# after another crash a start with a changed line gets the new key and frees the old one.
restart_after_a_crash() { # KEY CODE
  kill -KILL "$E2E_KELVADO_PID"
  e2e_wait_exit "$E2E_KELVADO_PID"
  printf '[hotkey]\npaste=Ctrl+Alt+%s\n' "${1^^}" >"$E2E_KELVADO_DIR/kelvado.ini"
  e2e_start_kelvado --faketime "2003-04-07 10:00:00"
  e2e_move "$E2E_KELVADO_WIN" 300 40
  e2e_wait_until "the restarted program to hold Ctrl+Alt+${1^^}" _held_by "$2" kelvado
  wl_focus "$native"
  press "$1"
  native_text+=$date_text
  wl_wait_text "$native" "$native_text" || e2e_fail "Ctrl+Alt+${1^^} after a crash: [$(wl_text "$native")]"
  e2e_log "after a crash, the restart with Ctrl+Alt+${1^^} pasted"
}
restart_after_a_crash d "$ctrl_alt_d"
restart_after_a_crash e "$ctrl_alt_e"
e2e_assert_eq "" "$(shortcut_holders "$ctrl_alt_d")" "who holds Ctrl+Alt+D once the line says Ctrl+Alt+E"

# A clean exit frees the key for other programs, in the service and in its settings file.
wl_close "$E2E_KELVADO_PID"
e2e_assert_eq "" "$(shortcut_holders "$ctrl_alt_e")" "who holds Ctrl+Alt+E after the program closed"
# The service writes its file a moment after a change.
_entry_gone() { ! grep -q '^\[kelvado\]' "$XDG_CONFIG_HOME/kglobalshortcutsrc"; }
e2e_wait_until "kglobalshortcutsrc to lose the program's entry" _entry_gone

# A key KWin holds itself (Present Windows, all desktops).
printf '[hotkey]\npaste=Ctrl+F10\n' >"$E2E_DIR/second/kelvado.ini"
_held_by "$ctrl_f10" kwin || e2e_fail "KWin holds no Ctrl+F10 here"
e2e_spawn third "$E2E_DIR/second/kelvado"
E2E_KELVADO_PID=$E2E_LAST_PID dialog_wait_box "情報" "$(taken_text Ctrl+F10)"
kill -KILL "$E2E_LAST_PID"
e2e_wait_exit "$E2E_LAST_PID"

# KWin grants nothing to that copy, which no desktop entry names: its shortcut still pastes
# into X11 programs, through X11.
printf '[hotkey]\npaste=Ctrl+Alt+D\n' >"$E2E_DIR/second/kelvado.ini"
e2e_faketime_env "2003-04-07 10:00:00"
e2e_spawn loose env "${E2E_FAKETIME_ENV[@]}" "$E2E_DIR/second/kelvado"
e2e_wait_until "the copy KWin grants nothing to to hold Ctrl+Alt+D" _held_by "$ctrl_alt_d" kelvado
wl_focus "$x11"
press d
wl_wait_text "$x11" "$x11_text$date_text" || e2e_fail "the ungranted copy's paste: [$(wl_text "$x11")]"
e2e_log "the copy KWin grants nothing to pasted into the X11 mousepad"
