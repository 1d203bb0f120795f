#!/bin/bash
# The paste shortcut on X11: with [hotkey] paste=Ctrl+Alt+D in the settings file, a person typing
# in mousepad presses Ctrl+Alt+D, letting go of Ctrl and Alt a moment after the D, 20 times, the
# last ones with Num Lock on; the date lands each time and mousepad keeps the focus. A second copy
# of the program finds the shortcut taken and says so.
. "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
. "$(dirname "${BASH_SOURCE[0]}")/lib/dialog_helpers.sh"
pastes=20
date_text="2003年04月07日(月)"

e2e_require_tools mousepad
dialog_session_start
e2e_install_kelvado
printf '[hotkey]\npaste=Ctrl+Alt+D\n' >"$E2E_KELVADO_DIR/kelvado.ini"
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
first=$E2E_KELVADO_PID

notes=$E2E_DIR/notes.txt
: >"$notes"
e2e_start_editor mousepad "$notes"
editor=$E2E_LAST_WIN
e2e_move "$editor" 0 80
e2e_type "$editor" "Notes:"

expected="Notes:"
for ((i = 1; i <= pastes; i++)); do
  ((i == pastes / 2 + 1)) && xdotool key Num_Lock
  e2e_key "$editor" Return
  # Saved, the editor's title loses its "*"; the paste brings it back.
  e2e_save "$editor"
  xdotool keydown ctrl alt key d sleep 0.1 keyup alt ctrl
  e2e_wait_modified "$editor" || e2e_fail "shortcut paste $i never reached the editor"
  expected+=$'\n'$date_text
done
xdotool key Num_Lock
e2e_log "mousepad: $pastes of $pastes shortcut pastes landed"
e2e_assert_eq "$expected" "$(e2e_editor_text "$editor")" "the editor's text after $pastes shortcut pastes"

# A second copy: the shortcut is the first one's.
e2e_spawn second "$E2E_KELVADO_DIR/kelvado"
E2E_KELVADO_PID=$E2E_LAST_PID dialog_wait_box "情報" \
  "ショートカット Ctrl+Alt+D はほかのプログラムが使っています。ショートカットなしで動きます。"
_e2e_alive "$first" || e2e_fail "the first copy ended"
