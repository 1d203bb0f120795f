#!/bin/bash
# The program's main job on a Wayland desktop, on 7 April 2003, its window on XWayland: PASTES
# pastes into a native Wayland mousepad and as many into an X11 mousepad in one session, taking
# turns, each focused by a click as a person does. On sway; or on KWin, installed with `cmake
# --install` so that KWin grants it its window list and fake input, in the keyboard layout
# given (KWin's default, us, when none is). With the default layout besides: a click on the
# program's own window leaves the target as it was; a target closed before the click costs only
# the paste, the date still going on the clipboard; the window sits inside the output and its
# place is saved; and on KWin, the same program started from a path no desktop entry names says
# what is missing and what to do.
#   paste.sh sway|kwin PASTES [XKB_LAYOUT XKB_VARIANT]
desktop=$1
pastes=$2
layout=${3:-}
variant=${4:-}
. "$(dirname "${BASH_SOURCE[0]}")/lib/$desktop.sh"
date_text="2003年04月07日(月)"

wl_require_tools xdotool xmodmap
wl_session_start "$layout" "$variant"

# sway tiles them side by side and floats the program's window over the middle, its copy panel
# over the right half: there over the native editor. Over a focused X11 window, XWayland gives
# a click on the program to that window more often than not (it keeps that window above the
# floating one, whatever sway shows). KWin centres each window: wl_place_windows moves the X11
# editor and the program's window where each keeps a part of its own.
wl_start_editors x11 wayland
if [[ -n "$layout" ]]; then
  # The layout took: the key marked V (X11 key code 55) is something else in the compositor's
  # keymap, as XWayland has it.
  key_v=$(xmodmap -pke | awk '$2 == 55 {print $4}')
  [[ "$key_v" != v ]] || e2e_fail "the key marked V still types v under $layout($variant)"
  e2e_log "the key marked V types $key_v"
fi

# Started from a path that no desktop entry names, KWin grants nothing: the program says so at
# start and, at the first click, in a message box; the date still goes on the clipboard.
if [[ $desktop == kwin && -z "$layout" ]]; then
  mkdir -p "$E2E_DIR/loose"
  cp "$E2E_KELVADO_DIR/kelvado" "$E2E_DIR/loose/kelvado"
  e2e_faketime_env "2003-04-07 10:00:00"
  e2e_spawn loose env "${E2E_FAKETIME_ENV[@]}" "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0" \
    "$E2E_DIR/loose/kelvado"
  loose=$E2E_LAST_PID
  loose_win=$(e2e_find_window "$loose")
  grep -q 'cmake --install' "$E2E_DIR/logs/loose.log" ||
    e2e_fail "the program started from an unnamed path said: [$(cat "$E2E_DIR/logs/loose.log")]"
  wl_focus "$native"
  wl_set_clipboard "held by another program"
  # Clicked through XWayland's own test input: KWin's pointer often never delivered a press to
  # this X11 window (in about half of the trial runs here, and then no further click either).
  read -r x y _ _ <<<"$(e2e_geometry "$loose_win")"
  read -r left top width height <<<"${E2E_FORM1_CONTROLS[copy]}"
  xdotool mousemove $((x + left + width / 2)) $((y + top + height / 2)) mousedown 1 sleep 0.08 mouseup 1
  # A window of the process that is neither the main window nor a one-line hint.
  _message_box_shown() {
    local w height
    for w in $(xdotool search --onlyvisible --pid "$loose" 2>/dev/null); do
      read -r _ _ _ height <<<"$(e2e_geometry "$w")"
      ((height > 40)) && return 0
    done
    return 1
  }
  e2e_wait_until "the message box of the program without KWin's interfaces" _message_box_shown
  e2e_wait_until "the date text on the Wayland clipboard" _wl_clipboard_is "$date_text"
  kill "$loose"
  e2e_wait_exit "$loose"
fi

e2e_start_kelvado --faketime "2003-04-07 10:00:00"
win=$E2E_KELVADO_WIN
if grep -q '^kelvado:' "$E2E_DIR/logs/kelvado.log"; then
  e2e_fail "the program found the desktop lacking: $(cat "$E2E_DIR/logs/kelvado.log")"
fi
wl_place_windows "$x11" "$win"

wl_paste_rounds "$pastes" "$native" "$x11" "$win" "$date_text" "$desktop, layout ${layout:-default} $variant"
# The pictures in README.md: both editors after their pastes, the program between them.
if [[ -n "${E2E_SCREENSHOTS:-}" && -z "$layout" ]]; then
  [[ $desktop == sway ]] && picture=wayland.png || picture=$desktop.png
  wl_screenshot "$E2E_SCREENSHOTS/$picture" || e2e_fail "no screenshot"
fi
[[ -z "$layout" ]] || exit 0

# Looks at the program's own window, over two looks, do not make it the target.
focus_the_program() {
  e2e_click "$win" 135 19 # under the weekday, where no control is
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
# Keys that paste sent anywhere reach the editors before the next paste's do: the editors are
# read once the next paste has landed, not after a pause that a loaded machine can outlast.
wl_focus "$native"
wait_for_the_next_look
e2e_click_control "$win" copy
native_text+=$date_text
wl_wait_text "$native" "$native_text" ||
  e2e_fail "after a paste meant for a closed window, the next paste never landed alone: [$(wl_text "$native")]"
e2e_assert_eq "$x11_text" "$(wl_text "$x11")" "the X11 mousepad after a paste meant for a closed window"

# Where the program's window is: inside the output, and saved as it is at the close.
read -r x y width height <<<"$(e2e_geometry "$win")"
((x >= 0 && y >= 0 && x + width <= 1024 && y + height <= 768)) ||
  e2e_fail "the window at $x,$y ${width}x$height is not inside the 1024x768 output"
e2e_assert_eq 250 "$width" "the window's width"
wl_close "$E2E_KELVADO_PID"
e2e_assert_eq 0 "$E2E_EXIT_STATUS" "exit status after the close request"
e2e_assert_eq "left=$x top=$y" "$(sed -n 's/^\(left\|top\)=/&/p' "$E2E_KELVADO_DIR/kelvado.ini" | paste -sd ' ')" \
  "the saved place"
