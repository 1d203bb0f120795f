# shellcheck shell=bash
# Helpers for the notation dialog and help window tests, on top of harness.sh (source that first).
#
# Windows are found by their exact title among the program's visible windows. What a window
# shows that X properties cannot tell (a list's current item, a preview, a message box's text,
# the help text) is read through the accessibility bus, the view a screen reader has of the
# program: the session gets its own at-spi bus before the program starts, and Qt serves its
# widget tree on it.
#
#   dialog_require_tools           e2e_require_tools, plus the accessibility bus and its client
#   dialog_a11y_start              start the session's accessibility bus (before e2e_start_kelvado)
#   dialog_windows TITLE           ids of the program's visible windows titled exactly TITLE
#   dialog_wait_window TITLE       wait for one; prints its id
#   dialog_wait_gone TITLE         wait until no visible window of the program has that title
#   dialog_click WID CONTROL [BUTTON]
#                                  click the centre of a dialog control (ComboBox1..6, bt1..5,
#                                  Button1; positions from the dialog's definition)
#   dialog_pick WID LIST INDEX     open list LIST (1..6) with a click and click item INDEX
#   dialog_read TITLE ROLE         what the window titled TITLE shows in its controls of ROLE
#                                  (an accessibility role: "combo box", "label", "text"...), in
#                                  tree order, joined with "|"; a "text" shows its whole text
#   dialog_wait_read TITLE ROLE EXPECTED
#                                  wait until dialog_read prints EXPECTED; fail showing what it read
#   dialog_wait_box CAPTION TEXT   wait for a message box captioned CAPTION that says TEXT
#   dialog_box_ok CAPTION          click that box's OK button and wait until the box has gone
#   dialog_above UPPER LOWER       true when window UPPER is stacked above window LOWER

# shellcheck disable=SC2034 # the titles are for the scripts that source this file
DIALOG_TITLE="ケルバド 表示形式の設定"
HELP_TITLE="ケルバド バージョン＆ヘルプ"
DIALOG_PYTHON=/usr/bin/python3 # Debian's, where the accessibility client library is installed
DIALOG_A11Y_LAUNCHER=/usr/libexec/at-spi-bus-launcher

# The dialog's controls: left top width height, in client pixels (the panel that holds the
# lists sits at the client's origin).
declare -A DIALOG_CONTROLS=(
  [ComboBox1]="8 56 45 20" [ComboBox2]="54 56 45 20" [ComboBox3]="101 56 45 20"
  [ComboBox4]="147 56 45 20" [ComboBox5]="194 56 45 20" [ComboBox6]="240 56 45 20"
  [bt1]="52 118 21 21" [bt2]="76 118 21 21" [bt3]="100 118 21 21" [bt4]="124 118 21 21"
  [bt5]="148 118 21 21" [Button1]="176 116 113 25"
)
DIALOG_LIST_ITEMS=(0 5 5 2 4 2 2) # item count of list 1..6, as src/forms/form3.h has them
DIALOG_ITEM_HEIGHT=12

dialog_require_tools() {
  e2e_require_tools "$DIALOG_A11Y_LAUNCHER" "$DIALOG_PYTHON" dbus-send
  "$DIALOG_PYTHON" -c "import gi; gi.require_version('Atspi', '2.0')" 2>/dev/null || {
    e2e_log "skipped: no accessibility client (scripts/install-deps --tests installs gir1.2-atspi-2.0)"
    exit 77
  }
}

_dialog_a11y_bus_up() {
  # Asks the bus who owns the name; asking the name itself would start a second launcher.
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:org.a11y.Bus 2>/dev/null | grep -q 'boolean true'
}

# A session with a window manager and an accessibility bus, ready for the program to start in.
dialog_session_start() {
  dialog_require_tools
  e2e_session_start --wm
  dialog_a11y_start
}

dialog_a11y_start() {
  # --a11y=1 tells toolkits that assistive technology is on, so Qt serves its widget tree.
  e2e_spawn atspi "$DIALOG_A11Y_LAUNCHER" --launch-immediately --a11y=1
  e2e_wait_until "the accessibility bus" _dialog_a11y_bus_up
}

dialog_windows() {
  local wid
  for wid in $(xdotool search --onlyvisible --pid "$E2E_KELVADO_PID" 2>/dev/null); do
    [[ "$(e2e_wm_name "$wid")" == "$1" ]] && echo "$wid"
  done
  return 0
}

_dialog_found=""
_dialog_window_there() { _dialog_found=$(dialog_windows "$1" | head -n 1) && [[ -n "$_dialog_found" ]]; }
_dialog_window_gone() { [[ -z "$(dialog_windows "$1")" ]]; }

dialog_wait_window() {
  e2e_wait_until "a window titled [$1]" _dialog_window_there "$1" ||
    e2e_fail "no window titled [$1]"
  echo "$_dialog_found"
}

dialog_wait_gone() {
  e2e_wait_until "the window titled [$1] to go" _dialog_window_gone "$1" ||
    e2e_fail "the window titled [$1] is still there"
}

_dialog_control_centre() {
  local left top width height
  [[ -n "${DIALOG_CONTROLS[$1]:-}" ]] || e2e_fail "unknown dialog control $1"
  read -r left top width height <<<"${DIALOG_CONTROLS[$1]}"
  echo $((left + width / 2)) $((top + height / 2))
}

dialog_click() {
  local wid=$1 cx cy
  read -r cx cy <<<"$(_dialog_control_centre "$2")"
  e2e_click "$wid" "$cx" "$cy" "${3:-1}"
}

_dialog_popup=""
_dialog_popup_over() {
  # The open list is a window of its own, placed by the program itself (no window manager
  # frame), over the list box it drops from.
  local x=$1 y=$2 wid wx wy ww wh
  for wid in $(xdotool search --onlyvisible --pid "$E2E_KELVADO_PID" 2>/dev/null); do
    xwininfo -id "$wid" 2>/dev/null | grep -q 'Override Redirect State: yes' || continue
    read -r wx wy ww wh <<<"$(e2e_geometry "$wid")"
    if ((x >= wx && x < wx + ww && y >= wy && y < wy + wh)); then
      _dialog_popup="$wid $wx $wy $ww $wh"
      return 0
    fi
  done
  return 1
}

dialog_pick() {
  local wid=$1 list=$2 index=$3 cx cy x y _ popup px py pw ph count=${DIALOG_LIST_ITEMS[$2]}
  read -r cx cy <<<"$(_dialog_control_centre "ComboBox$list")"
  read -r x y _ <<<"$(e2e_geometry "$wid")"
  e2e_click_at $((x + cx)) $((y + cy))
  e2e_wait_until "list $list to open" _dialog_popup_over $((x + cx)) $((y + cy)) ||
    e2e_fail "list $list did not open"
  read -r popup px py pw ph <<<"$_dialog_popup"
  # The items fill the open list from the top, inside a frame of equal width at top and bottom.
  local frame=$(((ph - count * DIALOG_ITEM_HEIGHT) / 2))
  e2e_click_at $((px + pw / 2)) $((py + frame + index * DIALOG_ITEM_HEIGHT + DIALOG_ITEM_HEIGHT / 2))
  e2e_wait_until "list $list to close" _dialog_popup_gone "$popup"
}

_dialog_popup_gone() { ! xdotool search --onlyvisible --pid "$E2E_KELVADO_PID" 2>/dev/null | grep -qx "$1"; }

# Prints, for the program's showing top-level named TITLE (a message box when KIND is "alert",
# a window when it is "window": a message box's caption can be the main window's title), what its
# controls of ROLE show, or with a NAME the screen centre of the control of that role and name;
# exits 3 when there is no such window (yet) or no such control.
_DIALOG_A11Y_QUERY='
import sys, gi
gi.require_version("Atspi", "2.0")
from gi.repository import Atspi

pid, kind, title, role = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4]
name = sys.argv[5] if len(sys.argv) > 5 else None

def showing(o):
    return o.get_state_set().contains(Atspi.StateType.SHOWING)

def children(o):
    return (c for c in (o.get_child_at_index(i) for i in range(o.get_child_count())) if c is not None)

def descendants(o):
    for child in children(o):
        yield child
        yield from descendants(child)

def shown(o):
    return Atspi.Text.get_text(o, 0, -1) if o.get_role_name() == "text" else o.get_name()

for app in children(Atspi.get_desktop(0)):
    if app.get_process_id() != pid:
        continue
    for top in children(app):
        if top.get_name() != title or (top.get_role_name() == "alert") != (kind == "alert") or not showing(top):
            continue
        found = [o for o in descendants(top) if o.get_role_name() == role and showing(o)]
        if name is None:
            print("|".join(shown(o) for o in found))
            sys.exit(0)
        for o in found:
            if o.get_name() == name:
                e = o.get_extents(Atspi.CoordType.SCREEN)
                print(e.x + e.width // 2, e.y + e.height // 2)
                sys.exit(0)
sys.exit(3)
'

_dialog_a11y() { "$DIALOG_PYTHON" -c "$_DIALOG_A11Y_QUERY" "$E2E_KELVADO_PID" "$@" 2>/dev/null; }

dialog_read() { _dialog_a11y window "$1" "$2"; }

_dialog_read_is() { [[ "$(dialog_read "$1" "$2")" == "$3" ]]; }

dialog_wait_read() {
  local title=$1 role=$2 expected=$3
  e2e_wait_until "[$title] to show [$expected] ($role)" _dialog_read_is "$title" "$role" "$expected" ||
    e2e_fail "[$title] shows [$(dialog_read "$title" "$role")] ($role), expected [$expected]"
  e2e_log "ok: [$title] shows [$expected] ($role)"
}

_dialog_box_says() { [[ "$(_dialog_a11y alert "$1" label)" == "$2" ]]; }

dialog_wait_box() {
  local caption=$1 text=$2
  e2e_wait_until "a message box [$caption] saying [$text]" _dialog_box_says "$caption" "$text" ||
    e2e_fail "message box [$caption] says [$(_dialog_a11y alert "$caption" label)], expected [$text]"
  e2e_log "ok: message box [$caption] says [$text]"
}

_dialog_ok_at=""
_dialog_ok_placed() { _dialog_ok_at=$(_dialog_a11y alert "$1" "push button" OK); }

dialog_box_ok() {
  local x y
  e2e_wait_until "the OK button of [$1]" _dialog_ok_placed "$1" || e2e_fail "no OK button in [$1]"
  read -r x y <<<"$_dialog_ok_at"
  e2e_click_at "$x" "$y"
  e2e_wait_until "message box [$1] to close" _dialog_box_gone "$1" || e2e_fail "[$1] stays open"
}

_dialog_box_gone() {
  local status=0
  _dialog_a11y alert "$1" label >/dev/null || status=$?
  ((status == 3))
}

dialog_above() {
  local order
  order=$(e2e_stacking)
  (($(grep -nx "$1" <<<"$order" | cut -d: -f1) > $(grep -nx "$2" <<<"$order" | cut -d: -f1)))
}
