#!/bin/bash
# The notation dialog and the help window under Wine, as a person uses them on 7 April 2003: a
# right click on the copy panel opens the dialog with the default notation in its lists; pattern
# button 4 recalls 4月7日; a right press on button 3 stores it and says so; another pattern,
# then the stored one back; the help button opens the help text with its 42 lines. Only the main
# window has a taskbar button.
. "$(dirname "${BASH_SOURCE[0]}")/lib/wine_harness.sh"
wine_session_start
wine_start_kelvado --faketime "2003-04-07 10:00:00"
win=$E2E_KELVADO_WIN

e2e_click_control "$win" copy 3
dlg=$(wine_wait_window "$DIALOG_TITLE")
e2e_assert_eq "291 142" "$(e2e_geometry "$dlg" | awk '{print $3, $4}')" "dialog client area"
wine_wait_text $'4桁\n年\n2桁\n月\n2桁\n日' --title "$DIALOG_TITLE" ComboBox

dialog_click "$dlg" bt4
e2e_wait_title "$win" "4月7日(月)"
wine_wait_text $'なし\nなし\n1桁\n月\n1桁\n日' --title "$DIALOG_TITLE" ComboBox

dialog_click "$dlg" bt3 3
e2e_wait_until "the information box" _wine_has_box "情報" || e2e_fail "no information box"
e2e_assert_eq "パターン3にこのパターンを記憶しました" "$(wine_text --title 情報 Static | sed '/^$/d')" \
  "the information box's text"
wine_box_ok "情報"

dialog_click "$dlg" bt2
e2e_wait_title "$win" "2003-04-07(月)"
dialog_click "$dlg" bt3
e2e_wait_title "$win" "4月7日(月)"

dialog_click "$dlg" Button1
wine_wait_window "$HELP_TITLE" >/dev/null
help=$(wine_text --title "$HELP_TITLE" Edit)
e2e_assert_eq 42 "$(printf '%s\n' "$help" | wc -l)" "lines of the help text"
e2e_assert_eq "ケルバド V3.1" "$(head -n 1 <<<"$help")" "the help text's first line"

# One taskbar button: the window manager is told to leave the dialog and the help window out.
in_taskbar() { ! xprop -id "$1" _NET_WM_STATE | grep -q _NET_WM_STATE_SKIP_TASKBAR; }
in_taskbar "$win" || e2e_fail "the main window is not in the taskbar"
for w in "$dlg" "$(wine_wait_window "$HELP_TITLE")"; do
  in_taskbar "$w" && e2e_fail "$(e2e_wm_name "$w") has a taskbar button of its own"
done

e2e_close "$win"
e2e_wait_exit "$E2E_KELVADO_PID"
ini=$E2E_KELVADO_DIR/kelvado.ini
e2e_assert_eq "141310 231210 000001 000001 240300" \
  "$(sed -n 's/^pmoj[1-5]=//p' "$ini" | tr -d '\r' | paste -sd ' ')" "patterns saved"
