#!/bin/bash
# The paste shortcut under Wine: with [hotkey] paste=Ctrl+Alt+D in the settings file, a person
# typing in Notepad presses Ctrl+Alt+D, letting go of Ctrl and Alt a moment after the D, 20 times;
# the date lands each time, with no stray Ctrl+Alt+V. A second copy of the program finds the
# shortcut taken and says so.
. "$(dirname "${BASH_SOURCE[0]}")/lib/wine_harness.sh"
pastes=20
date_text="2003年04月07日(月)"
wine_session_start
wine_install_kelvado
printf '[hotkey]\r\npaste=Ctrl+Alt+D\r\n' >"$E2E_KELVADO_DIR/kelvado.ini"
wine_start_kelvado --faketime "2003-04-07 10:00:00"
first=$E2E_KELVADO_PID
wine_start_notepad
notepad=$E2E_LAST_WIN
e2e_move "$notepad" 0 120
e2e_type "$notepad" "Notes:"
wine_wait_text "Notes:" --class Notepad Edit

expected="Notes:"
for ((i = 1; i <= pastes; i++)); do
  if ((i > 1)); then
    xdotool key --clearmodifiers Return
    expected+=$'\n'
  fi
  xdotool keydown ctrl alt key d sleep 0.1 keyup alt ctrl
  expected+=$date_text
  wine_wait_text "$expected" --class Notepad Edit
done
e2e_log "Notepad under Wine: $pastes of $pastes shortcut pastes landed"

# A second copy: the shortcut is the first one's.
e2e_spawn second env WINEDEBUG=-all wine "$WINE_KELVADO_EXE"
e2e_wait_until "the second copy's box" _wine_has_box "情報" || e2e_fail "no box in the second copy"
e2e_assert_eq "ショートカット Ctrl+Alt+D はほかのプログラムが使っています。ショートカットなしで動きます。" \
  "$(wine_text --title 情報 Static | sed '/^$/d')" "the second copy's message"
_e2e_alive "$first" || e2e_fail "the first copy ended"
