#!/bin/bash
# The copy panel beyond the plain paste, under openbox, on 7 April 2003: a middle click does
# nothing and a right click opens the notation dialog, neither touching the clipboard nor the
# editor; a target closed before the click leaves the program running, with the date text on
# the clipboard and the next paste working; a second running copy of the program is a foreign
# window like any other, and becomes the target; the program's own message box, left open over
# a look at the foreground window, never does.
. "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
. "$(dirname "${BASH_SOURCE[0]}")/lib/dialog_helpers.sh"
date_text="2003年04月07日(月)"

# The program notices a window at its next 500 ms look at the foreground window.
wait_for_the_next_look() { sleep 0.6; }
editor_unchanged() { [[ "$(e2e_wm_name "$1")" != \** ]] || e2e_fail "the editor was changed: $2"; }
clipboard_is() { [[ "$(e2e_clipboard)" == "$1" ]]; }
focused() { [[ "$(xdotool getwindowfocus 2>/dev/null)" == "$1" ]]; }
window_gone() { ! xdotool search --onlyvisible --pid "$pid" 2>/dev/null | grep -qx "$1"; }

e2e_require_tools mousepad
e2e_session_start --wm
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
win=$E2E_KELVADO_WIN
pid=$E2E_KELVADO_PID

notes=$E2E_DIR/notes.txt
: >"$notes"
e2e_start_editor mousepad "$notes"
editor=$E2E_LAST_WIN
e2e_type "$editor" "Notes:"
e2e_save "$editor"
wait_for_the_next_look

# Middle, then right: once the dialog is there, the middle click has been handled too.
e2e_set_clipboard "held by another program"
e2e_click_control "$win" copy 2
e2e_click_control "$win" copy 3
dialog=$(e2e_find_window "$pid" "^ケルバド 表示形式の設定\$")
e2e_assert_eq "held by another program" "$(e2e_clipboard)" "clipboard after a middle and a right click"
editor_unchanged "$editor" "a middle and a right click pasted"
e2e_close "$dialog"

# A target that has gone: the text is still put on the clipboard, and nothing else happens.
e2e_start_editor mousepad
doomed_pid=$E2E_LAST_PID
doomed=$E2E_LAST_WIN
e2e_activate "$doomed"
wait_for_the_next_look
e2e_close "$doomed"
e2e_wait_exit "$doomed_pid"
e2e_click_control "$win" copy
e2e_wait_until "the date text on the clipboard" clipboard_is "$date_text"
e2e_assert_eq "$date_text" "$(e2e_wm_name "$win")" "the program's title after pasting into a closed window"
editor_unchanged "$editor" "the paste meant for a closed window"
e2e_activate "$editor"
wait_for_the_next_look
e2e_click_control "$win" copy
e2e_wait_modified "$editor"
e2e_assert_eq "Notes:$date_text" "$(e2e_editor_text "$editor")" "the editor's text after the next paste"
e2e_save "$editor"

# A pattern stored in the dialog, its information box left up for two looks, then OK, the dialog
# closed and a click on the copy panel: the date lands in the editor, not in the box that is gone.
e2e_activate "$editor"
wait_for_the_next_look
e2e_click_control "$win" copy 3
dialog=$(e2e_find_window "$pid" "^ケルバド 表示形式の設定\$")
dialog_click "$dialog" bt3 3
box=$(e2e_find_window "$pid" "^情報\$")
e2e_activate "$box"
wait_for_the_next_look
wait_for_the_next_look
e2e_key "$box" Return
e2e_wait_until "the information box to close" window_gone "$box"
e2e_close "$dialog"
e2e_click_control "$win" copy
e2e_wait_modified "$editor" || e2e_fail "the paste after the information box never reached the editor"
e2e_assert_eq "Notes:$date_text$date_text" "$(e2e_editor_text "$editor")" "the editor's text after the box"
e2e_save "$editor"

# A second copy of the program: its window is foreign to the first copy.
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
second=$E2E_KELVADO_WIN
e2e_move "$second" 300 300
e2e_activate "$editor"
wait_for_the_next_look
e2e_activate "$second"
wait_for_the_next_look
e2e_click_control "$win" copy
e2e_wait_until "the second copy to have the focus" focused "$second"
editor_unchanged "$editor" "the paste meant for the second copy"
