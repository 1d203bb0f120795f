#!/bin/bash
# The Windows download as a user gets it: the zip made twice is the same bytes, its readme is
# Japanese as Notepad shows it (a byte-order mark, CRLF line ends), and the program unpacked into
# a Japanese folder starts from there and pastes into Notepad.
. "$(dirname "${BASH_SOURCE[0]}")/lib/wine_harness.sh"
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/../../.." && pwd)
wine_session_start
"$root/scripts/package" --exe "$KELVADO_EXE" --out "$E2E_DIR/first" >/dev/null
"$root/scripts/package" --exe "$KELVADO_EXE" --out "$E2E_DIR/second" >/dev/null
zip=$(ls "$E2E_DIR"/first/kelvado-*-windows-x64.zip)
cmp -s "$zip" "$E2E_DIR/second/$(basename "$zip")" || e2e_fail "two runs made different zips"
(cd "$E2E_DIR/first" && sha256sum -c --quiet SHA256SUMS) || e2e_fail "SHA256SUMS does not match the zip"

WINE_KELVADO_EXE='C:\ユーザー\ダウンロード\ケルバド\kelvado.exe'
E2E_KELVADO_DIR=$(wine_path 'C:\ユーザー\ダウンロード\ケルバド')
mkdir -p "$E2E_KELVADO_DIR"
python3 -m zipfile -e "$zip" "$E2E_KELVADO_DIR"
e2e_assert_eq "kelvado.exe readme.txt" "$(ls "$E2E_KELVADO_DIR" | paste -sd ' ')" "the zip's files"
readme=$E2E_KELVADO_DIR/readme.txt
e2e_assert_eq "efbbbf" "$(head -c 3 "$readme" | od -An -tx1 | tr -d ' ')" "the readme's byte-order mark"
grep -q $'[^\r]$' <(tail -c +4 "$readme") && e2e_fail "a line of the readme does not end with CRLF"
head -n 1 "$readme" | grep -q 'ケルバド' || e2e_fail "the readme is not the Japanese one"

wine_start_kelvado --faketime "2003-04-07 10:00:00"
wine_start_notepad
notepad=$E2E_LAST_WIN
e2e_move "$notepad" 0 120
e2e_type "$notepad" "Notes:"
wine_wait_text "Notes:" --class Notepad Edit
sleep 0.6  # the program's next look at the foreground window
e2e_click_control "$E2E_KELVADO_WIN" copy
wine_wait_text "Notes:2003年04月07日(月)" --class Notepad Edit
