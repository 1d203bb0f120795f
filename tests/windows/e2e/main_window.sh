#!/bin/bash
# The Windows program in a folder whose name is Japanese, as a person meets it on 7 April 2003:
# the date in the title, the settings file created on the first close beside the program with
# Windows line ends, read at the next start, and a read-only file that keeps the window open
# with the error shown at the first close and lets the user go at the second, and at a log-off
# ends the program with status 1 and the reason in the event log; from a folder more than 260
# characters deep it keeps its settings beside itself all the same.
. "$(dirname "${BASH_SOURCE[0]}")/lib/wine_harness.sh"
wine_session_start
wine_install_kelvado 'C:\ユーザー\デスクトップ\ケルバド'
wine_start_kelvado --faketime "2003-04-07 10:00:00"
win=$E2E_KELVADO_WIN
e2e_assert_eq "2003年04月07日(月)" "$(e2e_wm_name "$win")" "title"
e2e_assert_eq "250 23" "$(e2e_geometry "$win" | awk '{print $3, $4}')" "client area at 96 DPI"
# With IPA P Gothic for ＭＳ Ｐゴシック the long date is 100 pixels wide, 4 more than the picker
# has beside its button: the short format, with the four-digit year.
e2e_assert_eq "2003/4/7" "$(wine_text --class KelvadoForm SysDateTimePick32)" "the date picker's date"

ini=$E2E_KELVADO_DIR/kelvado.ini
[[ ! -e $ini ]] || e2e_fail "a settings file exists before the first close"
e2e_close "$win"
e2e_wait_exit "$E2E_KELVADO_PID"
e2e_assert_eq 0 "$E2E_EXIT_STATUS" "exit status"
expected=$(printf '%s\r\n' "[form]" "left=0" "top=0" "[patan]" "patan=1" "yobichek=1" "staytop=1" \
  "[hyoki]" "hyoki1=2" "hyoki2=1" "hyoki3=1" "hyoki4=0" "hyoki5=1" "hyoki6=1" \
  "[pmoj]" "pmoj1=141310" "pmoj2=231210" "pmoj3=000100" "pmoj4=000001" "pmoj5=240300" | od -c)
e2e_assert_eq "$expected" "$(od -c <"$ini")" "the settings file's bytes beside the program"

# A hand-edited file: the weekday off, a Shift-JIS comment and an unknown key, all kept.
comment='; \x83\x50\x83\x8b\x83\x6f\x83\x68\r\n'
printf "$comment"'[patan]\r\nyobichek=-2\r\nextra=1\r\n' >"$ini"
wine_start_kelvado --faketime "2003-04-07 10:00:00"
e2e_assert_eq "2003年04月07日" "$(e2e_wm_name "$E2E_KELVADO_WIN")" "title with the weekday off, read at start"

# Read-only: the close shows the error and the window stays; once writable, the close saves.
chmod a-w "$ini"
before=$(od -c <"$ini")
e2e_close "$E2E_KELVADO_WIN"
wine_box_ok "2003年04月07日"
_e2e_alive "$E2E_KELVADO_PID" || e2e_fail "the program ended although its settings were not saved"
e2e_assert_eq "$before" "$(od -c <"$ini")" "the read-only file, untouched"
chmod u+w "$ini"
e2e_close "$E2E_KELVADO_WIN"
e2e_wait_exit "$E2E_KELVADO_PID"
e2e_assert_eq 0 "$E2E_EXIT_STATUS" "exit status after the file became writable"
head -n 1 "$ini" | cmp -s - <(printf "$comment") ||
  e2e_fail "the Shift-JIS comment was not kept: $(head -n 1 "$ini" | od -c)"
grep -q $'^extra=1\r$' "$ini" || e2e_fail "the unknown key was not kept"
grep -q $'^yobichek=-2\r$' "$ini" || e2e_fail "yobichek was not written back"

# Where the file stays unwritable (as in Program Files), a second close shows the error again
# and lets the user go, the file untouched.
chmod a-w "$ini"
before=$(od -c <"$ini")
wine_start_kelvado --faketime "2003-04-07 10:00:00"
for attempt in 1 2; do
  e2e_close "$E2E_KELVADO_WIN"
  wine_box_ok "2003年04月07日"
done
e2e_wait_exit "$E2E_KELVADO_PID"
e2e_assert_eq 0 "$E2E_EXIT_STATUS" "exit status after leaving without saving"
e2e_assert_eq "$before" "$(od -c <"$ini")" "the read-only file, untouched"

# The session ends (log-off) with the file still read-only: no box holds it up, the program ends
# with status 1, and the reason is in the Application event log, which Wine prints.
wine_start_kelvado --faketime "2003-04-07 10:00:00"
wineboot --end-session
e2e_wait_exit "$E2E_KELVADO_PID"
e2e_assert_eq 1 "$E2E_EXIT_STATUS" "exit status after a log-off that could not save"
grep -q 'err:eventlog:ReportEventW.*kelvado.ini.*the file is read-only' "$E2E_DIR/logs/kelvado.log" ||
  e2e_fail "no event log entry for the failed save"
e2e_assert_eq "$before" "$(od -c <"$ini")" "the read-only file, untouched at log-off"

# From a folder more than 260 characters deep, which Windows once did not allow, the program
# finds its own path whole: its settings file lands beside it and nowhere else.
segment=$(printf 'ケルバド%.0s' {1..15})
WINE_KELVADO_EXE=""
wine_install_kelvado "C:\\$segment\\$segment\\$segment\\$segment\\$segment"
((${#WINE_KELVADO_EXE} > 260)) || e2e_fail "the path is only ${#WINE_KELVADO_EXE} characters long"
wine_start_kelvado
e2e_close "$E2E_KELVADO_WIN"
e2e_wait_exit "$E2E_KELVADO_PID"
e2e_assert_eq 0 "$E2E_EXIT_STATUS" "exit status from a deep folder"
e2e_assert_eq "$E2E_KELVADO_DIR/kelvado.ini" "$(find "$WINEPREFIX/drive_c/$segment" -name '*.ini')" \
  "the settings file from a deep folder"
