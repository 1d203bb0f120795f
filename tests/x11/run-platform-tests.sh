#!/bin/bash
# Runs the X11 platform tests in a private X session: run-platform-tests.sh none|openbox TEST [ARGS...]
. "$(dirname "${BASH_SOURCE[0]}")/../e2e/lib/harness.sh"
wm=$1
shift
e2e_require_tools
if [[ $wm == openbox ]]; then e2e_session_start --wm; else e2e_session_start; fi
KELVADO_TEST_WM=$wm QT_QPA_PLATFORM=xcb "$@"
