#!/bin/bash
# What the main window carries from one run to the next, through its settings file: the
# stay-on-top box takes effect at the next start only, the weekday switch and the position
# come back as they were left.
. "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
e2e_require_tools
e2e_session_start --wm

above() { e2e_wm_state "$1" | grep -x _NET_WM_STATE_ABOVE >/dev/null; }

restart() {
  e2e_close "$E2E_KELVADO_WIN"
  e2e_wait_exit "$E2E_KELVADO_PID"
  e2e_assert_eq 0 "$E2E_EXIT_STATUS" "exit status"
  e2e_start_kelvado --faketime "2003-04-07 10:00:00"
}

e2e_start_kelvado --faketime "2003-04-07 10:00:00"
above "$E2E_KELVADO_WIN" || e2e_fail "first start: not stay-on-top"
e2e_click_control "$E2E_KELVADO_WIN" checkbox
e2e_click_control "$E2E_KELVADO_WIN" weekday
e2e_wait_title "$E2E_KELVADO_WIN" "2003年04月07日"
above "$E2E_KELVADO_WIN" || e2e_fail "unchecking the box changed the running window"
e2e_move "$E2E_KELVADO_WIN" 300 200
moved=$(e2e_geometry "$E2E_KELVADO_WIN")

restart
above "$E2E_KELVADO_WIN" && e2e_fail "second start: still stay-on-top after unchecking the box"
e2e_assert_eq "2003年04月07日" "$(e2e_wm_name "$E2E_KELVADO_WIN")" "title after restart"
e2e_assert_eq "$moved" "$(e2e_geometry "$E2E_KELVADO_WIN")" "client geometry after restart"
e2e_click_control "$E2E_KELVADO_WIN" checkbox
e2e_click_control "$E2E_KELVADO_WIN" weekday
e2e_wait_title "$E2E_KELVADO_WIN" "2003年04月07日(月)"

restart
above "$E2E_KELVADO_WIN" || e2e_fail "third start: not stay-on-top after checking the box"
e2e_assert_eq "2003年04月07日(月)" "$(e2e_wm_name "$E2E_KELVADO_WIN")" "title after restart"
e2e_assert_eq "$moved" "$(e2e_geometry "$E2E_KELVADO_WIN")" "client geometry after restart"
