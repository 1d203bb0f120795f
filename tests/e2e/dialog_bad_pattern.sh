#!/bin/bash
# A pattern slot edited by hand into something that is not a code: pmoj1=2a1011. The left press
# on button 1 stops at the "a" and shows the error box (captioned with the program's title, the
# date text); the title and the lists keep the notation from before; after OK the dialog works
# on, and the slot is written back to the settings file as it was read.
. "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
. "$(dirname "${BASH_SOURCE[0]}")/lib/dialog_helpers.sh"
dialog_session_start
e2e_install_kelvado
# The settings file is the executable's path with ".ini" for its extension.
printf '[pmoj]\npmoj1=2a1011\n' >"$E2E_KELVADO_DIR/kelvado.ini"
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
win=$E2E_KELVADO_WIN

e2e_click_control "$win" copy 3
dlg=$(dialog_wait_window "$DIALOG_TITLE")
dialog_wait_read "$DIALOG_TITLE" "combo box" "4桁|年|2桁|月|2桁|日"

dialog_click "$dlg" bt1
dialog_wait_box "2003年04月07日(月)" "'a' は整数ではありません."
dialog_box_ok "2003年04月07日(月)"
e2e_assert_eq "2003年04月07日(月)" "$(e2e_wm_name "$win")" "title after the failed recall"
dialog_wait_read "$DIALOG_TITLE" "combo box" "4桁|年|2桁|月|2桁|日"

# Still usable: a list pick and another pattern both reach the main window.
dialog_pick "$dlg" 2 2
e2e_wait_title "$win" "2003/04月07日(月)"
dialog_click "$dlg" bt4
e2e_wait_title "$win" "4月7日(月)"
dialog_wait_read "$DIALOG_TITLE" "combo box" "なし|なし|1桁|月|1桁|日"

e2e_close "$win"
e2e_wait_exit "$E2E_KELVADO_PID"
e2e_assert_eq "2a1011" "$(sed -n 's/^pmoj1=//p' "$E2E_KELVADO_DIR/kelvado.ini")" "pmoj1 written back"
