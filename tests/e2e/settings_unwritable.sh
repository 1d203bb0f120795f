#!/bin/bash
# A settings file that cannot be written: closing the main window shows the error box and
# leaves the window open with the file untouched; once the file is writable the next close
# saves and ends the program, and a second close while it is still unwritable shows the error
# again and ends the program, the file untouched, so that no one is held in it. A close the session asks for (a termination signal), with or
# without the error box up, ends the program at once with a failure status and a report on
# standard error, the file untouched. First as root with a read-only file, then as an ordinary
# user with root's file in root's folder, where the system itself refuses the write; last with a
# FIFO where the file should be.
. "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
e2e_require_tools setpriv
e2e_session_start --wm --ac

# A visible window of the program other than the main window.
_box=""
_has_box() {
  local id
  for id in $(xdotool search --onlyvisible --pid "$E2E_KELVADO_PID" 2>/dev/null); do
    [[ "$id" != "$E2E_KELVADO_WIN" ]] && _box=$id && return 0
  done
  return 1
}
_no_box() { ! _has_box; }

# A close request answered by the error box: WHO [--leaves]. The first keeps the window open;
# with --leaves (a second request) the program ends after the box.
expect_failed_close() {
  local before
  before=$(od -c "$ini")
  e2e_close "$E2E_KELVADO_WIN"
  e2e_wait_until "the error box" _has_box
  e2e_assert_eq "$(e2e_wm_name "$E2E_KELVADO_WIN")" "$(e2e_wm_name "$_box")" "error box caption"
  e2e_screenshot "$E2E_DIR/error-box-$1.png" "$_box"
  e2e_key "$_box" Return
  if [[ ${2:-} == --leaves ]]; then
    e2e_wait_exit "$E2E_KELVADO_PID"
    e2e_assert_eq 0 "$E2E_EXIT_STATUS" "exit status of a close that leaves without saving"
  else
    e2e_wait_until "the error box to close" _no_box
    _e2e_alive "$E2E_KELVADO_PID" || e2e_fail "the first failed save ended the program"
  fi
  e2e_assert_eq "$before" "$(od -c "$ini")" "settings file after the failed save"
}

# A termination signal: SIGNAL [--box-up]
expect_session_close() {
  local before reports report
  before=$(od -c "$ini")
  if [[ ${2:-} == --box-up ]]; then
    e2e_close "$E2E_KELVADO_WIN"
    e2e_wait_until "the error box" _has_box
  fi
  reports=$(grep -c "^kelvado: " "$E2E_DIR/logs/kelvado.log" || true)
  kill "-$1" "$E2E_KELVADO_PID"
  e2e_wait_exit "$E2E_KELVADO_PID"
  ((E2E_EXIT_STATUS != 0)) || e2e_fail "SIG$1 with an unwritable file ended the program with status 0"
  e2e_assert_eq $((reports + 1)) "$(grep -c "^kelvado: " "$E2E_DIR/logs/kelvado.log")" "reports after SIG$1"
  report=$(grep "^kelvado: " "$E2E_DIR/logs/kelvado.log" | tail -n 1)
  [[ "$report" == "kelvado: $ini に書き込めません: "?* ]] || e2e_fail "no path and reason in the report: [$report]"
  e2e_log "ok: reported [$report]"
  e2e_assert_eq "$before" "$(od -c "$ini")" "settings file after SIG$1"
}

expect_saving_close() {
  e2e_close "$E2E_KELVADO_WIN"
  e2e_wait_exit "$E2E_KELVADO_PID"
  e2e_assert_eq 0 "$E2E_EXIT_STATUS" "exit status once the file is writable"
  e2e_assert_eq "[form] left=100 top=200 ; mine [patan]" "$(head -n 5 "$ini" | paste -sd' ')" "saved file"
}

e2e_install_kelvado
ini=$E2E_KELVADO_DIR/kelvado.ini
printf '[form]\nleft=100\ntop=200\n; mine\n' >"$ini"

chmod 444 "$ini"
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
expect_failed_close root
expect_failed_close root --leaves
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
expect_session_close TERM --box-up
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
expect_session_close HUP
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
expect_session_close INT
chmod 644 "$ini"
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
expect_saving_close

# The folder and the file are root's; nobody may read them but not write.
e2e_start_kelvado --as-nobody
expect_failed_close nobody
chown -R 65534:65534 "$E2E_KELVADO_DIR"
expect_saving_close

# A FIFO in place of the settings file: the window comes up at once, with the defaults, and a
# termination signal ends the program with the reason on standard error, the FIFO left alone.
rm -f "$ini"
mkfifo "$ini"
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
e2e_assert_eq "2003年04月07日(月)" "$(e2e_wm_name "$E2E_KELVADO_WIN")" "title with a FIFO for a settings file"
kill -TERM "$E2E_KELVADO_PID"
e2e_wait_exit "$E2E_KELVADO_PID"
((E2E_EXIT_STATUS != 0)) || e2e_fail "SIGTERM with a FIFO for a settings file ended the program with status 0"
e2e_assert_eq "kelvado: $ini に書き込めません: not a regular file" "$(grep "^kelvado: " "$E2E_DIR/logs/kelvado.log" |
  tail -n 1)" "the report on standard error"
[[ -p "$ini" ]] || e2e_fail "the FIFO was replaced"
