#!/bin/bash
# The program's main job, 20 times in a row in a real editor: a person types in the editor,
# clicks the copy panel, and the date text lands at the editor's caret, Japanese intact.
#   paste.sh mousepad|featherpad openbox|none
. "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
editor_name=$1
wm=$2
pastes=20
date_text="2003年04月07日(月)"

e2e_require_tools "$editor_name"
case $wm in
  openbox) e2e_session_start --wm ;;
  none) e2e_session_start ;;
  *) e2e_fail "unknown window manager setting: $wm" ;;
esac
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
win=$E2E_KELVADO_WIN

notes=$E2E_DIR/notes.txt
: >"$notes"
e2e_start_editor "$editor_name" "$notes"
editor=$E2E_LAST_WIN
# Without a window manager the editor opens over the program, at the origin.
e2e_move "$editor" 0 80
e2e_type "$editor" "Notes:"
# The program notices the editor at its next 500 ms look at the foreground window; a hand
# takes longer than that to reach the copy panel.
sleep 0.6

expected="Notes:"
landed=0
for ((i = 1; i <= pastes; i++)); do
  e2e_key "$editor" Return
  # Saved, the editor's title loses its "*"; the paste brings it back.
  e2e_save "$editor"
  e2e_click_control "$win" copy
  e2e_wait_modified "$editor" || break
  expected+=$'\n'$date_text
  landed=$i
done
e2e_log "$editor_name, window manager $wm: $landed of $pastes pastes landed"
((landed == pastes)) || e2e_fail "paste $((landed + 1)) never reached the editor"
e2e_assert_eq "$expected" "$(e2e_editor_text "$editor")" "the editor's text after $pastes pastes"
e2e_assert_eq "$date_text" "$(e2e_wm_name "$win")" "the title, still the date text"
