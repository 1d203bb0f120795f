#!/bin/bash
# The notation dialog as a person uses it on 7 April 2003 with no settings file: a right click on
# the copy panel opens it and leaves the clipboard alone; a pick in a list, with the mouse or the
# keyboard, changes the main window's title at once; pattern button 4 recalls 4月7日; a right
# press on button 3 stores the notation and says so; a stored pattern comes back after another
# one; and closing the main window writes the notation and the stored pattern to the settings file.
. "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
. "$(dirname "${BASH_SOURCE[0]}")/lib/dialog_helpers.sh"
dialog_session_start
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
win=$E2E_KELVADO_WIN

e2e_set_clipboard "held by another program"
e2e_click_control "$win" copy 3
dlg=$(dialog_wait_window "$DIALOG_TITLE")
e2e_assert_eq "291x142" "$(e2e_geometry "$dlg" | awk '{print $3 "x" $4}')" "dialog client area"
dialog_wait_read "$DIALOG_TITLE" "combo box" "4桁|年|2桁|月|2桁|日"
dialog_wait_read "$DIALOG_TITLE" label "年表記|区切|月表記|区切|日表記|区切|2003|年|04|月|07|日|2003年04月07日 を参考に表示設定してください|パターン"
e2e_assert_eq "held by another program" "$(e2e_clipboard)" "clipboard after the right click"
e2e_assert_eq "2003年04月07日(月)" "$(e2e_wm_name "$win")" "title after the right click"

# "なし" in the year list, with the mouse: the year goes from the title and the preview.
dialog_pick "$dlg" 1 0
e2e_wait_title "$win" "年04月07日(月)"
dialog_wait_read "$DIALOG_TITLE" "combo box" "なし|年|2桁|月|2桁|日"
# The list keeps the focus after the pick; the arrow key picks the next item.
e2e_key "$dlg" Down
e2e_wait_title "$win" "03年04月07日(月)"
dialog_wait_read "$DIALOG_TITLE" "combo box" "2桁|年|2桁|月|2桁|日"

# Button 4 recalls the default pattern 000001 on the press of the left button.
dialog_click "$dlg" bt4
e2e_wait_title "$win" "4月7日(月)"
dialog_wait_read "$DIALOG_TITLE" "combo box" "なし|なし|1桁|月|1桁|日"
dialog_wait_read "$DIALOG_TITLE" label "年表記|区切|月表記|区切|日表記|区切|||4|月|7|日|2003年04月07日 を参考に表示設定してください|パターン"

# A right press on button 3 stores the notation into slot 3 and says so in an information box.
dialog_click "$dlg" bt3 3
dialog_wait_box "情報" "パターン3にこのパターンを記憶しました"
dialog_box_ok "情報"
e2e_assert_eq "4月7日(月)" "$(e2e_wm_name "$win")" "title after storing"
dialog_wait_read "$DIALOG_TITLE" "combo box" "なし|なし|1桁|月|1桁|日"

# Another pattern, then the stored one back.
dialog_click "$dlg" bt2
e2e_wait_title "$win" "2003-04-07(月)"
dialog_click "$dlg" bt3
e2e_wait_title "$win" "4月7日(月)"

e2e_close "$win"
e2e_wait_exit "$E2E_KELVADO_PID"
e2e_assert_eq 0 "$E2E_EXIT_STATUS" "exit status"
ini=$E2E_KELVADO_DIR/kelvado.ini
e2e_assert_eq "0 0 0 0 0 1" "$(sed -n 's/^hyoki[1-6]=//p' "$ini" | paste -sd ' ')" "notation saved"
e2e_assert_eq "141310 231210 000001 000001 240300" "$(sed -n 's/^pmoj[1-5]=//p' "$ini" | paste -sd ' ')" "patterns saved"
