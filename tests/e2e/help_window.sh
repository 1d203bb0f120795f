#!/bin/bash
# The version and help window: the main window's version button and the dialog's
# "バージョン＆ヘルプ" button open one and the same window, beside the dialog; its text can be
# selected and copied but not changed; closing it only hides it, and it comes back the same.
# With E2E_SCREENSHOTS=<folder> it leaves pictures of the dialog and the help window there.
. "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
. "$(dirname "${BASH_SOURCE[0]}")/lib/dialog_helpers.sh"
dialog_session_start
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
win=$E2E_KELVADO_WIN

e2e_click_control "$win" version
help=$(dialog_wait_window "$HELP_TITLE")
text=$(dialog_read "$HELP_TITLE" text)
e2e_assert_eq 42 "$(printf '%s\n' "$text" | wc -l)" "lines of help text"
e2e_assert_eq "ケルバド V3.1" "$(head -n 1 <<<"$text")" "first line"
e2e_assert_eq "変更履歴" "$(sed -n 29p <<<"$text")" "line 29"

e2e_click_control "$win" copy 3
dlg=$(dialog_wait_window "$DIALOG_TITLE")
dialog_click "$dlg" Button1
e2e_wait_until "the help window to come above the dialog" dialog_above "$help" "$dlg"
e2e_assert_eq "$help" "$(dialog_windows "$HELP_TITLE" | paste -sd ' ')" "help windows after both buttons"
e2e_click_control "$win" version
e2e_assert_eq "$help" "$(dialog_windows "$HELP_TITLE" | paste -sd ' ')" "help windows after the version button again"
e2e_assert_eq "$dlg" "$(dialog_windows "$DIALOG_TITLE")" "dialog still open"

if [[ -n "${E2E_SCREENSHOTS:-}" ]]; then
  # Arranged the way a person would: the main window above the dialog, the help window beside.
  e2e_move "$win" 0 0
  e2e_move "$dlg" 0 52
  e2e_move "$help" 300 0
  e2e_activate "$dlg"
  e2e_screenshot "$E2E_SCREENSHOTS/dialog.png" "$win" "$dlg"
  e2e_activate "$help"
  e2e_screenshot "$E2E_SCREENSHOTS/help.png" "$help"
fi

# Typing into the text changes nothing; select-all and copy give the whole text.
read -r _ _ width height <<<"$(e2e_geometry "$help")"
e2e_click "$help" $((width / 2)) $((height / 2))
e2e_type "$help" "x"
e2e_key "$help" Delete BackSpace Return
[[ "$(e2e_editor_text "$help")" == "$text" ]] || e2e_fail "the copy from the help window is not its text"
[[ "$(dialog_read "$HELP_TITLE" text)" == "$text" ]] || e2e_fail "typing changed the help text"
e2e_log "ok: the help text copies whole and is unchanged by typing"

# Closing hides the window; the program runs on and shows the same window again.
e2e_close "$help"
dialog_wait_gone "$HELP_TITLE"
e2e_assert_eq "$dlg" "$(dialog_windows "$DIALOG_TITLE")" "dialog after closing the help window"
dialog_click "$dlg" Button1
e2e_assert_eq "$help" "$(dialog_wait_window "$HELP_TITLE")" "help window shown again"
