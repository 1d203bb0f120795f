#!/bin/bash
# The main job under Wine, 20 times in a row: a person types in Wine's Notepad, clicks the copy
# panel, and the date lands at Notepad's caret, Japanese intact; then types on without touching
# Notepad again, and clicks again.
. "$(dirname "${BASH_SOURCE[0]}")/lib/wine_harness.sh"
pastes=20
date_text="2003年04月07日(月)"
wine_session_start
wine_start_kelvado --faketime "2003-04-07 10:00:00"
win=$E2E_KELVADO_WIN
wine_start_notepad
notepad=$E2E_LAST_WIN
e2e_move "$notepad" 0 120
e2e_resize "$notepad" 480 320
e2e_type "$notepad" "Notes:"
wine_wait_text "Notes:" --class Notepad Edit

expected="Notes:"
landed=0
e2e_activate "$notepad"
for ((i = 1; i <= pastes; i++)); do
  # Straight on typing, as a person does after a paste: the keys must reach Notepad, which the
  # paste left with the focus, and so must the next click's paste.
  xdotool key --clearmodifiers Return
  expected+=$'\n'
  # The program notices Notepad at its next 500 ms look at the foreground window; a hand
  # takes longer than that to reach the copy panel.
  sleep 0.6
  e2e_click_control "$win" copy
  expected+=$date_text
  if ! e2e_wait_until "paste $i" _wine_text_is "$expected" --class Notepad Edit; then
    text=$(wine_notepad_text)
    break
  fi
  landed=$i
done
e2e_log "Notepad under Wine: $landed of $pastes pastes landed"
((landed == pastes)) || e2e_fail "paste $((landed + 1)): Notepad holds [$text], expected [$expected]"
e2e_assert_eq "$date_text" "$(e2e_wm_name "$win")" "the title, still the date text"
if [[ -n ${E2E_SCREENSHOTS:-} ]]; then
  e2e_screenshot "$E2E_SCREENSHOTS/windows.png" "$win" "$notepad"
fi
