#!/bin/bash
# The settings file with the real program: the first close writes the whole file, a position
# beyond the 1024x768 screen comes back to x 50, and the next close saves that position.
. "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
e2e_require_tools
e2e_session_start --wm

# The outer frame's top-left corner: the client origin less the window manager's frame.
frame_origin() {
  local x y left top extents
  read -r x y _ _ <<<"$(e2e_geometry "$1")"
  extents=$(xprop -id "$1" -notype _NET_FRAME_EXTENTS | sed -n 's/^_NET_FRAME_EXTENTS = //p' | tr -d ',')
  read -r left _ top _ <<<"$extents"
  echo "$((x - left)) $((y - top))"
}

close_kelvado() {
  e2e_close "$E2E_KELVADO_WIN"
  e2e_wait_exit "$E2E_KELVADO_PID"
  e2e_assert_eq 0 "$E2E_EXIT_STATUS" "exit status"
}

e2e_install_kelvado
ini=$E2E_KELVADO_DIR/kelvado.ini

e2e_start_kelvado --faketime "2003-04-07 10:00:00"
[[ ! -e "$ini" ]] || e2e_fail "the first start created the settings file"
close_kelvado
expected='[form]
left=0
top=0
[patan]
patan=1
yobichek=1
staytop=1
[hyoki]
hyoki1=2
hyoki2=1
hyoki3=1
hyoki4=0
hyoki5=1
hyoki6=1
[pmoj]
pmoj1=141310
pmoj2=231210
pmoj3=000100
pmoj4=000001
pmoj5=240300'
printf '%s\n' "$expected" >"$E2E_DIR/expected.ini"
cmp "$E2E_DIR/expected.ini" "$ini" || e2e_fail "settings file after the first close: $(od -c "$ini")"

sed -i 's/^left=0$/left=900/; s/^top=0$/top=300/' "$ini"
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
e2e_assert_eq "50 300" "$(frame_origin "$E2E_KELVADO_WIN")" "frame origin after a start at 900,300"
close_kelvado
e2e_assert_eq "left=50 top=300" "$(grep -E '^(left|top)=' "$ini" | paste -sd' ')" "position saved"
