#!/bin/bash
# The program's main job on a Wayland desktop (sway), on 7 April 2003, its window on XWayland:
# 20 pastes into a native Wayland mousepad and 20 into an X11 mousepad in the same session,
# taking turns, each focused by a click as a person does; a click on the program's own window
# leaves the target as it was; a target closed before the click costs only the paste, the date
# still going on the clipboard; the window sits inside the output and its place is saved.
. "$(dirname "${BASH_SOURCE[0]}")/lib/sway.sh"
pastes=20
date_text="2003年04月07日(月)"

wl_require_tools
wl_session_start
e2e_start_kelvado --faketime "2003-04-07 10:00:00"
win=$E2E_KELVADO_WIN
if grep -q 'does not offer' "$E2E_DIR/logs/kelvado.log"; then
  e2e_fail "the program found the compositor lacking: $(cat "$E2E_DIR/logs/kelvado.log")"
fi

printf 'Wayland:' >"$E2E_DIR/native.txt"
printf 'X11:' >"$E2E_DIR/x11.txt"
# sway tiles them side by side and floats the program's window over the middle, its copy panel
# over the right half: there over the native editor. Over a focused X11 window, XWayland gives
# a click on the program to that window more often than not (it keeps that window above the
# floating one, whatever sway shows).
wl_start_editor x11 "$E2E_DIR/x11.txt"
x11=$E2E_LAST_PID
wl_start_editor wayland "$E2E_DIR/native.txt"
native=$E2E_LAST_PID

# The program notices a window at its next 500 ms look at the foreground window; a hand takes
# longer than that to reach the copy panel.
wait_for_the_next_look() { sleep 0.6; }

native_text="Wayland:"
x11_text="X11:"
native_landed=0
x11_landed=0
for ((i = 1; i <= pastes; i++)); do
  wl_focus "$native"
  wait_for_the_next_look
  e2e_click_control "$win" copy
  native_text+=$date_text
  wl_wait_text "$native" "$native_text" || e2e_fail "paste $i never reached the native mousepad"
  native_landed=$i

  wl_focus "$x11"
  wait_for_the_next_look
  e2e_click_control "$win" copy
  x11_text+=$date_text
  wl_wait_text "$x11" "$x11_text" || e2e_fail "paste $i never reached the X11 mousepad"
  x11_landed=$i
done
e2e_log "native Wayland mousepad: $native_landed of $pastes pastes landed"
e2e_log "X11 mousepad: $x11_landed of $pastes pastes landed"
if [[ -n "${E2E_SCREENSHOTS:-}" ]]; then
  grim "$E2E_SCREENSHOTS/wayland.png"
fi

# Looks at the program's own window, over two looks, do not make it the target.
focus_the_program() {
  local height
  read -r _ _ _ height <<<"$(e2e_geometry "$win")"
  e2e_click "$win" 60 $((height - 4)) # below the controls: sway shows the window taller
  wl_wait_focus "$E2E_KELVADO_PID"
}
wl_focus "$native"
wait_for_the_next_look
focus_the_program
wait_for_the_next_look
wait_for_the_next_look
e2e_click_control "$win" copy
native_text+=$date_text
wl_wait_text "$native" "$native_text" || e2e_fail "after a look at the program's own window the paste went astray"

# A target that has gone: the date still goes on the clipboard, no editor changes, and the
# next paste lands.
wl_start_editor wayland
doomed=$E2E_LAST_PID
wl_focus "$doomed"
wait_for_the_next_look
# Closed while the program's window has the focus, so that no look can find another target.
focus_the_program
wl_close "$doomed"
wait_for_the_next_look
wl_set_clipboard "held by another program"
e2e_click_control "$win" copy
e2e_wait_until "the date text on the Wayland clipboard" _wl_clipboard_is "$date_text"
sleep 0.5
e2e_assert_eq "$native_text" "$(wl_text "$native")" "the native mousepad after a paste meant for a closed window"
e2e_assert_eq "$x11_text" "$(wl_text "$x11")" "the X11 mousepad after a paste meant for a closed window"
wl_focus "$native"
wait_for_the_next_look
e2e_click_control "$win" copy
native_text+=$date_text
wl_wait_text "$native" "$native_text" || e2e_fail "the paste after a closed target never landed"

# Where the program's window is: inside the output, and saved as it is at the close.
read -r x y width height <<<"$(e2e_geometry "$win")"
((x >= 0 && y >= 0 && x + width <= 1024 && y + height <= 768)) ||
  e2e_fail "the window at $x,$y ${width}x$height is not inside the 1024x768 output"
e2e_assert_eq 250 "$width" "the window's width"
swaymsg -q "[pid=$E2E_KELVADO_PID] kill"
e2e_wait_exit "$E2E_KELVADO_PID"
e2e_assert_eq 0 "$E2E_EXIT_STATUS" "exit status after the close request"
e2e_assert_eq "left=$x top=$y" "$(sed -n 's/^\(left\|top\)=/&/p' "$E2E_KELVADO_DIR/kelvado.ini" | paste -sd ' ')" \
  "the saved place"
