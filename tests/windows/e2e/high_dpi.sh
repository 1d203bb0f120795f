#!/bin/bash
# At 144 pixels per inch the windows grow with the desktop, crisp and laid out as designed:
# every designed pixel counts one and a half. E2E_SCREENSHOTS=DIR keeps a picture of both.
. "$(dirname "${BASH_SOURCE[0]}")/lib/wine_harness.sh"
wine_session_start --dpi 144
wine_start_kelvado --faketime "2003-04-07 10:00:00"
win=$E2E_KELVADO_WIN
e2e_assert_eq "375 35" "$(e2e_geometry "$win" | awk '{print $3, $4}')" "main window's client area"
# The long date fits the wider picker (142 of 146 pixels with IPA P Gothic).
e2e_assert_eq "2003年4月7日" "$(wine_text --class KelvadoForm SysDateTimePick32)" "the date picker's date"

# A right click on the copy panel, at its centre (172, 10) scaled.
e2e_click "$win" 258 15 3
dlg=$(wine_wait_window "$DIALOG_TITLE")
e2e_assert_eq "437 213" "$(e2e_geometry "$dlg" | awk '{print $3, $4}')" "dialog's client area"
wine_wait_text $'4桁\n年\n2桁\n月\n2桁\n日' --title "$DIALOG_TITLE" ComboBox
e2e_move "$dlg" 40 120
if [[ -n ${E2E_SCREENSHOTS:-} ]]; then
  e2e_screenshot "$E2E_SCREENSHOTS/windows-144dpi.png" "$win" "$dlg"
fi
