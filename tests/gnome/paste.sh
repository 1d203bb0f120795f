#!/bin/bash
# The program's main job on GNOME Shell 43, on 7 April 2003, installed with its shell extension
# as a user installs it, its window on XWayland: 20 pastes into a native Wayland mousepad and 20
# into an X11 mousepad in the same session, taking turns, each focused by a click; the text that
# lands is the exact date in both (the native one gets it through XWayland's clipboard bridge);
# the program's own windows (its dialog, its message box) never become the target; a target
# closed before the click costs only the paste; nothing is said on standard error. Then, with the
# extension disabled, and then gone: the message that says so, on standard error at start and
# in a box after the first click.
. "$(dirname "${BASH_SOURCE[0]}")/lib/gnome.sh"
pastes=20
date_text="2003年04月07日(月)"

gn_require_tools xclip
gn_session_start
gn_start_kelvado --faketime "2003-04-07 10:00:00"
win=$E2E_KELVADO_WIN

wl_start_editors wayland x11
# Side by side below the program's window, overlapping, each focused by a click into its own part.
gn_place "$native" 0 200
gn_place "$x11" 384 200

wl_paste_rounds "$pastes" "$native" "$x11" "$win" "$date_text" "GNOME Shell"
# The picture in README.md: both editors after their pastes, the program above them.
[[ -z "${E2E_SCREENSHOTS:-}" ]] || gn_screenshot "$E2E_SCREENSHOTS/gnome.png"

# The program's dialog and its message box, each focused over looks, do not become the target.
wl_focus "$native"
wait_for_the_next_look
e2e_click_control "$win" copy 3
dialog=$(dialog_wait_window "$DIALOG_TITLE")
wl_wait_focus "$E2E_KELVADO_PID"
wait_for_the_next_look
dialog_click "$dialog" bt3 3
dialog_wait_box "情報" "パターン3にこのパターンを記憶しました"
wait_for_the_next_look
wait_for_the_next_look
dialog_box_ok "情報"
gn_close_title "$DIALOG_TITLE"
dialog_wait_gone "$DIALOG_TITLE"
wait_for_the_next_look
e2e_click_control "$win" copy
native_text+=$date_text
wl_wait_text "$native" "$native_text" || e2e_fail "after the program's dialog and box the paste went astray"

# A target that has gone: the date still goes on the clipboard, no editor changes, and the
# next paste lands.
wl_start_editor wayland
doomed=$E2E_LAST_PID
gn_place "$doomed" 200 250
wl_focus "$doomed"
wait_for_the_next_look
# Closed while the program's window has the focus, so that no look can find another target.
e2e_click "$win" 60 10
wl_wait_focus "$E2E_KELVADO_PID"
wl_close "$doomed"
wait_for_the_next_look
wl_set_clipboard "held by another program"
e2e_click_control "$win" copy
e2e_wait_until "the date text on the clipboard" _e2e_clipboard_is "$date_text"
sleep 0.5
e2e_assert_eq "$native_text" "$(wl_text "$native")" "the native mousepad after a paste meant for a closed window"
e2e_assert_eq "$x11_text" "$(wl_text "$x11")" "the X11 mousepad after a paste meant for a closed window"
wl_focus "$native"
wait_for_the_next_look
e2e_click_control "$win" copy
native_text+=$date_text
wl_wait_text "$native" "$native_text" || e2e_fail "the paste after a closed target never landed"
e2e_assert_eq "" "$(cat "$E2E_DIR/logs/kelvado.log")" "what the program said on standard error"
wl_close "$E2E_KELVADO_PID"

# Installed but not loaded (as until the next login), then not installed: the program says what
# is missing and what to do, once at start and once after the first click, and still copies.
missing_message() { # WORDS...: starts the program, checks both places, closes it
  local said
  : >"$E2E_DIR/logs/kelvado.log"
  gn_start_kelvado --faketime "2003-04-07 10:00:00"
  said=$(sed -n 's/^kelvado: //p' "$E2E_DIR/logs/kelvado.log")
  for words in "$@"; do
    [[ "$said" == *"$words"* ]] || e2e_fail "standard error does not say [$words]: [$said]"
  done
  wl_set_clipboard "held by another program"
  e2e_click_control "$E2E_KELVADO_WIN" copy
  dialog_wait_box "情報" "$said"
  e2e_wait_until "the date text on the clipboard" _e2e_clipboard_is "$date_text"
  dialog_box_ok "情報"
  wl_close "$E2E_KELVADO_PID"
}
gn_gsettings set org.gnome.shell enabled-extensions "['$GN_DRIVER_UUID']"
e2e_wait_until "the shell to unload the extension" gn_extension_gone
missing_message "拡張機能" "読み込まれていません" "ログアウト"
rm -r "$XDG_DATA_HOME/gnome-shell/extensions/$GN_UUID"
missing_message "拡張機能" "$GN_UUID" "がありません" "cmake --install"
