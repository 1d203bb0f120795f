#!/bin/bash
# The main window as a person meets it on the first start (no settings file), on 7 April 2003:
# the title is the date text, the window stays above others and keeps its 250x23 client area,
# the weekday label switches the suffix off and on, and the close box ends the program.
. "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
e2e_require_tools mousepad
e2e_session_start --wm
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
win=$E2E_KELVADO_WIN

e2e_assert_eq "2003年04月07日(月)" "$(e2e_wm_name "$win")" "title at start"
e2e_assert_eq "2003年04月07日(月)" "$(e2e_text_property "$win" WM_NAME)" "WM_NAME at start"
read -r _ _ width height <<<"$(e2e_geometry "$win")"
e2e_assert_eq "250x23" "${width}x${height}" "client area"
e2e_wm_state "$win" | grep -x _NET_WM_STATE_ABOVE >/dev/null ||
  e2e_fail "not stay-on-top: _NET_WM_STATE is [$(e2e_wm_state "$win" | paste -sd,)]"
# What the window manager lets the user do with it: minimise and close, but neither resize nor
# maximise. (openbox 3.6 still draws a maximise button next to the minimise button; it is
# inert, and only this list says what the window manager offers.)
allowed=$(xprop -id "$win" -notype _NET_WM_ALLOWED_ACTIONS | sed -n 's/^_NET_WM_ALLOWED_ACTIONS = //p' |
  tr -d ' ' | tr ',' '\n' | grep -E '^_NET_WM_ACTION_(MINIMIZE|CLOSE|RESIZE|MAXIMIZE_HORZ|MAXIMIZE_VERT)$' |
  sort | paste -sd,)
e2e_assert_eq "_NET_WM_ACTION_CLOSE,_NET_WM_ACTION_MINIMIZE" "$allowed" "window manager actions offered"

# Another window activated over it must still stay below it.
e2e_start_editor mousepad
editor=$E2E_LAST_WIN
e2e_activate "$editor"
e2e_assert_eq "$win" "$(e2e_stacking | tail -n 1)" "topmost window after activating the editor"

e2e_click_control "$win" weekday
e2e_wait_title "$win" "2003年04月07日"
e2e_click_control "$win" weekday
e2e_wait_title "$win" "2003年04月07日(月)"
e2e_assert_eq "250x23" "$(e2e_geometry "$win" | awk '{print $3 "x" $4}')" "client area after the clicks"

e2e_close "$win"
e2e_wait_exit "$E2E_KELVADO_PID"
e2e_assert_eq 0 "$E2E_EXIT_STATUS" "exit status after the close request"
e2e_assert_eq "$editor" "$(e2e_find_window "$E2E_LAST_PID")" "the editor still open"
