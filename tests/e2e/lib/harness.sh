# shellcheck shell=bash
# End-to-end harness: a private X session, the real program and real editors, driven the way a
# person drives them (pointer moves, held clicks, typed keys), observed only from outside
# (window properties, the clipboard, screenshots).
#
# Source it from a bash script; it turns on `set -Eeuo pipefail` and installs the EXIT trap that
# tears the session down, so everything it started is ended even when the script fails:
#
#   . "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
#   e2e_session_start --wm
#   e2e_start_kelvado --faketime "2003-04-07 10:00:00"
#   e2e_assert_eq "2003年04月07日(月)" "$(e2e_wm_name "$E2E_KELVADO_WIN")" "title"
#
# Environment read:
#   KELVADO_BIN   the program to test (CTest passes the built target); default: build/kelvado
#   E2E_TIMEOUT   seconds any single wait may take before the test fails (default 10)
#   E2E_KEEP=1    keep the session folder even when the script succeeds
#   TMPDIR        where session folders are made (default /tmp; socket paths must stay short)
#
# Session (one per script):
#   e2e_require_tools              exit 77 (CTest: skipped) when a needed tool is missing
#   e2e_session_start [--wm] [--ac]
#                                  Xvfb on a free display (1024x768x24), a private HOME, XDG
#                                  folders, XDG_RUNTIME_DIR and D-Bus session bus,
#                                  GSETTINGS_BACKEND=memory, LC_ALL=C.UTF-8; --wm adds
#                                  openbox and waits until it manages the screen; --ac opens the
#                                  X server to every local user (for runs as `nobody`).
#                                  Sets E2E_DIR (the session folder) and exports DISPLAY.
#   e2e_private_folders KIND       only the session folder and the private HOME, XDG folders and
#                                  settings, for harnesses that start another display server
#   e2e_spawn NAME CMD [ARGS...]   start CMD in its own process group, output to
#                                  $E2E_DIR/logs/NAME.log; sets E2E_LAST_PID; torn down at exit
#   e2e_wait_until DESC CMD [ARGS...]
#                                  poll CMD until it succeeds; after E2E_TIMEOUT seconds return 1
#                                  (which ends the script under set -e)
#   e2e_wait_exit PID              wait (bounded) until PID has ended; sets E2E_EXIT_STATUS
#   e2e_fail MESSAGE               screenshot, message, exit 1
#   e2e_assert_eq EXPECTED ACTUAL WHAT
#
# The program:
#   e2e_faketime_env TIME          set E2E_FAKETIME_ENV: the environment that starts a program's
#                                  clock at TIME ("YYYY-MM-DD hh:mm:ss")
#   e2e_install_kelvado            copy KELVADO_BIN to $E2E_KELVADO_DIR/kelvado (once per session;
#                                  call it first to lay a settings file or change modes before
#                                  the first start)
#   e2e_start_kelvado [--faketime "YYYY-MM-DD hh:mm:ss"] [--as-nobody]
#                                  install (above; the settings file beside the copy is the
#                                  session's own and survives a restart within the session),
#                                  start it, wait for its window; --as-nobody needs --ac.
#                                  Sets E2E_KELVADO_PID, E2E_KELVADO_WIN, E2E_KELVADO_DIR.
#   e2e_click_control WID CONTROL [BUTTON]
#                                  click the centre of a main-window control: weekday, copy,
#                                  checkbox, version (positions in client pixels, from the
#                                  window's definition)
#
# Windows and input:
#   e2e_find_window PID [TITLE_REGEX]   wait for a visible window of PID; prints its id
#   e2e_start_editor mousepad|featherpad [FILE]
#                                  start the editor (on FILE), wait for its window; sets
#                                  E2E_LAST_PID and E2E_LAST_WIN
#   e2e_geometry WID               prints "X Y WIDTH HEIGHT" of the client area, root-relative
#   e2e_move WID X Y               move a window (frame origin) and wait until it has moved
#   e2e_resize WID WIDTH HEIGHT    resize a window's client area and wait until it has
#   e2e_activate WID               bring WID to the front and wait until it has the input focus
#   e2e_click_at X Y [BUTTON]      move the pointer there, press, hold briefly, release; never
#                                  sooner than E2E_CLICK_GAP_MS after the last click, so that
#                                  two clicks never become a double click
#   e2e_click WID X Y [BUTTON]     the same at client coordinates of WID
#   e2e_type WID TEXT              activate WID and type TEXT
#   e2e_key WID KEY...             activate WID and press keys (xdotool names: ctrl+a, Return)
#   e2e_clipboard                  prints the clipboard's text (UTF8_STRING)
#   e2e_set_clipboard TEXT         own the clipboard with TEXT (an xclip kept running)
#   e2e_editor_text WID            the editor's whole text, by select-all + copy; leaves the
#                                  caret at the end. The text must not be empty.
#   e2e_text_property WID PROPERTY prints a text property (WM_NAME, _NET_WM_NAME, WM_CLASS...)
#   e2e_wm_name WID                prints _NET_WM_NAME
#   e2e_save WID                   Ctrl+S in an editor opened on a file; waits until saved
#   e2e_wait_modified WID          wait until an editor shows unsaved changes: after e2e_save,
#                                  the sign that something else (a paste) has changed the text
#   e2e_stacking                   the managed windows, bottom to top, as decimal ids (needs --wm)
#   e2e_wm_state WID               prints the atoms of _NET_WM_STATE, one per line
#   e2e_wait_title WID TEXT        wait until _NET_WM_NAME is TEXT
#   e2e_close WID                  a real close request (WM_DELETE_WINDOW via the window
#                                  manager's _NET_CLOSE_WINDOW); needs --wm
#   e2e_screenshot FILE [WID...]   the whole screen, or cropped to the given windows' frames

set -Eeuo pipefail

E2E_TIMEOUT=${E2E_TIMEOUT:-10}
E2E_PIDS=()
E2E_DIR=""
E2E_WM=0
E2E_KELVADO_DIR=""
E2E_KELVADO_PID=""
E2E_KELVADO_WIN=""
E2E_LAST_PID=""
E2E_LAST_WIN=""
E2E_EXIT_STATUS=""
E2E_CLICK_GAP_MS=500
_e2e_last_click_ms=0
_e2e_display_up=""
E2E_FAKETIME_LIB=$(compgen -G '/usr/lib/*/faketime/libfaketime.so.1' | head -n 1) || true

# The main window's controls: left top width height, in client pixels.
declare -A E2E_FORM1_CONTROLS=(
  [weekday]="125 3 20 12"
  [copy]="152 1 41 19"
  [checkbox]="198 1 17 20"
  [version]="216 0 33 23" # 25 high in the definition; the client area cuts it at 23
)

e2e_log() { printf 'e2e: %s\n' "$*" >&2; }

e2e_require_tools() {
  local tool missing=()
  for tool in Xvfb openbox xdotool xclip xprop xwininfo wmctrl import dbus-daemon setsid "$@"; do
    command -v "$tool" >/dev/null 2>&1 || missing+=("$tool")
  done
  if ((${#missing[@]})); then
    e2e_log "skipped: missing ${missing[*]} (scripts/install-deps --tests installs them)"
    exit 77
  fi
}

_e2e_now_ms() { echo $((10#${EPOCHREALTIME//[!0-9]/} / 1000)); }

e2e_wait_until() {
  local desc=$1
  shift
  local deadline=$(($(_e2e_now_ms) + E2E_TIMEOUT * 1000))
  until "$@"; do
    if (($(_e2e_now_ms) > deadline)); then
      e2e_log "timed out after ${E2E_TIMEOUT}s waiting for $desc"
      return 1
    fi
    sleep 0.02
  done
}

e2e_fail() {
  e2e_log "FAIL: $*"
  exit 1
}

e2e_assert_eq() {
  local expected=$1 actual=$2 what=$3
  [[ "$actual" == "$expected" ]] || e2e_fail "$what: expected [$expected], got [$actual]"
  e2e_log "ok: $what = [$actual]"
}

e2e_spawn() {
  local name=$1
  shift
  mkdir -p "$E2E_DIR/logs"
  # setsid gives each process its own group, so teardown ends whatever it forked as well. A
  # script's background job starts with SIGINT ignored; a program started from a terminal or a
  # desktop does not, so neither does this one.
  setsid env --default-signal=INT "$@" </dev/null >>"$E2E_DIR/logs/$name.log" 2>&1 &
  E2E_LAST_PID=$!
  E2E_PIDS+=("$E2E_LAST_PID")
}

_e2e_alive() {
  # A child that has ended stays a zombie until reaped, and kill -0 still succeeds on it.
  local state
  state=$(awk '{print $3}' "/proc/$1/stat" 2>/dev/null) || return 1
  [[ -n "$state" && "$state" != Z ]]
}

_e2e_dead() { ! _e2e_alive "$1"; }

# shellcheck disable=SC2034 # E2E_EXIT_STATUS is read by the scripts that source this file
e2e_wait_exit() {
  local pid=$1
  e2e_wait_until "process $pid to end" _e2e_dead "$pid"
  E2E_EXIT_STATUS=0
  wait "$pid" 2>/dev/null || E2E_EXIT_STATUS=$?
}

_e2e_on_error() {
  e2e_log "command failed (status $1) at ${BASH_SOURCE[1]:-?}:$2: $3"
}

_e2e_teardown() {
  local status=$? pid i
  trap - EXIT ERR
  set +e
  if ((status != 0)) && [[ -n "$_e2e_display_up" ]]; then
    import -window root "$E2E_DIR/failure.png" >/dev/null 2>&1 &&
      e2e_log "screen at failure: $E2E_DIR/failure.png"
    if ((${#E2E_PIDS[@]})); then
      e2e_log "--- processes started by this session"
      ps -o pid,sid,stat,etime,wchan:24,args --sid "$(IFS=,; echo "${E2E_PIDS[*]}")" >&2
    fi
    for f in "$E2E_DIR"/logs/*.log; do
      [[ -s "$f" ]] && { e2e_log "--- $(basename "$f") (last lines)"; tail -n 20 "$f" >&2; }
    done
  fi
  # Newest first, one by one: the program and the editors end while their X server still runs.
  for ((i = ${#E2E_PIDS[@]} - 1; i >= 0; i--)); do
    pid=${E2E_PIDS[i]}
    kill -TERM -- "-$pid" 2>/dev/null
    E2E_TIMEOUT=5 e2e_wait_until "process $pid to end" _e2e_dead "$pid" 2>/dev/null ||
      kill -KILL -- "-$pid" 2>/dev/null
    wait "$pid" 2>/dev/null
  done
  if [[ -n "$E2E_DIR" ]]; then
    if ((status == 0)) && [[ "${E2E_KEEP:-0}" != 1 ]]; then
      rm -rf "$E2E_DIR"
    else
      e2e_log "session kept in $E2E_DIR"
    fi
  fi
  exit "$status"
}

trap '_e2e_on_error $? $LINENO "$BASH_COMMAND"' ERR
trap _e2e_teardown EXIT
trap 'exit 130' INT
trap 'exit 143' TERM

# The session's folder (E2E_DIR, with logs/) and a home and runtime folder of its own inside it,
# so that nothing of the machine's user leaks in: no session to restore, no settings daemon.
e2e_private_folders() { # KIND
  E2E_DIR=$(mktemp -d "${TMPDIR:-/tmp}/kelvado-$1.XXXXXX")
  chmod 755 "$E2E_DIR"
  mkdir -p "$E2E_DIR/logs" "$E2E_DIR/home" "$E2E_DIR/run"
  chmod 700 "$E2E_DIR/run"
  export HOME=$E2E_DIR/home
  export XDG_CONFIG_HOME=$HOME/.config XDG_DATA_HOME=$HOME/.local/share
  export XDG_CACHE_HOME=$HOME/.cache XDG_STATE_HOME=$HOME/.local/state
  export XDG_RUNTIME_DIR=$E2E_DIR/run
  mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
  export GSETTINGS_BACKEND=memory LC_ALL=C.UTF-8
  unset SESSION_MANAGER DESKTOP_SESSION XDG_CURRENT_DESKTOP WAYLAND_DISPLAY
}

e2e_session_start() {
  local ac=() arg
  for arg in "$@"; do
    case $arg in
      --wm) E2E_WM=1 ;;
      --ac) ac=(-ac) ;;
      *) e2e_fail "e2e_session_start: unknown option $arg" ;;
    esac
  done
  e2e_private_folders e2e
  # Editors must not find an accessibility bus either.
  export NO_AT_BRIDGE=1

  # -displayfd lets the server take the first free display number and report it when ready.
  e2e_spawn xvfb Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset "${ac[@]}" \
    3>"$E2E_DIR/display"
  e2e_wait_until "Xvfb to report its display" grep -q '^[0-9]' "$E2E_DIR/display"
  DISPLAY=":$(head -n 1 "$E2E_DIR/display")"
  export DISPLAY
  _e2e_display_up=1

  e2e_spawn dbus dbus-daemon --session --nofork --nopidfile \
    --address="unix:path=$XDG_RUNTIME_DIR/bus" --print-address=3 3>"$E2E_DIR/bus"
  e2e_wait_until "the session bus" grep -q '^unix:' "$E2E_DIR/bus"
  DBUS_SESSION_BUS_ADDRESS=$(head -n 1 "$E2E_DIR/bus")
  export DBUS_SESSION_BUS_ADDRESS

  if ((E2E_WM)); then
    # openbox names its check window before it has finished starting, and a window mapped in
    # between may never be managed; it runs the --startup command once it is ready.
    e2e_spawn openbox openbox --sm-disable --startup "touch $E2E_DIR/openbox-ready"
    e2e_wait_until "openbox to manage the screen" test -e "$E2E_DIR/openbox-ready"
  fi
  e2e_log "session $E2E_DIR on display $DISPLAY (window manager: $( ((E2E_WM)) && echo openbox || echo none))"
}

_e2e_visible_window() {
  local pid=$1 regex=${2:-} ids
  if [[ -n "$regex" ]]; then
    ids=$(xdotool search --all --onlyvisible --pid "$pid" --name "$regex" 2>/dev/null) || return 1
  else
    ids=$(xdotool search --onlyvisible --pid "$pid" 2>/dev/null) || return 1
  fi
  [[ -n "$ids" ]] && head -n 1 <<<"$ids"
}

_e2e_window_found=""
_e2e_window_or_end() {
  # Done when the window is there, and also when the process has ended: no point waiting on.
  _e2e_window_found=$(_e2e_visible_window "$1" "$2") || ! _e2e_alive "$1"
}

e2e_find_window() {
  local pid=$1 regex=${2:-}
  e2e_wait_until "a window of process $pid${regex:+ titled /$regex/}" \
    _e2e_window_or_end "$pid" "$regex" || e2e_fail "no window from process $pid"
  [[ -n "$_e2e_window_found" ]] || e2e_fail "process $pid ended before showing a window"
  echo "$_e2e_window_found"
}

e2e_start_editor() {
  local editor=$1 file=${2:-} args=()
  case $editor in
    mousepad) args=(--disable-server) ;; # no single-instance hand-over to another process
    featherpad) args=(--standalone) ;;
    *) e2e_fail "e2e_start_editor: unknown editor $editor" ;;
  esac
  e2e_spawn "$editor" "$editor" "${args[@]}" ${file:+"$file"}
  local pid=$E2E_LAST_PID
  E2E_LAST_WIN=$(e2e_find_window "$pid")
  E2E_LAST_PID=$pid
  e2e_log "$editor started: pid $pid, window $E2E_LAST_WIN"
}

e2e_start_kelvado() {
  local env=() as_user=() faketime=""
  while (($#)); do
    case $1 in
      --faketime) faketime=$2; shift ;;
      --as-nobody) as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups) ;;
      *) e2e_fail "e2e_start_kelvado: unknown option $1" ;;
    esac
    shift
  done
  e2e_install_kelvado
  if [[ -n "$faketime" ]]; then
    e2e_faketime_env "$faketime"
    env+=("${E2E_FAKETIME_ENV[@]}" "ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}verify_asan_link_order=0")
  fi
  e2e_spawn kelvado "${as_user[@]}" env "${env[@]}" "$E2E_KELVADO_DIR/kelvado"
  E2E_KELVADO_PID=$E2E_LAST_PID
  E2E_KELVADO_WIN=$(e2e_find_window "$E2E_KELVADO_PID")
  e2e_wait_until "the main window's title" _e2e_has_title "$E2E_KELVADO_WIN"
  e2e_log "kelvado started: pid $E2E_KELVADO_PID, window $E2E_KELVADO_WIN"
}

# Sets E2E_FAKETIME_ENV to the environment that starts a program's clock at TIME
# ("YYYY-MM-DD hh:mm:ss"); the clock runs on from there, and timers keep the real monotonic clock.
# Files keep their real times: Wine takes a data file that seems changed for a new Wine and runs
# its configuration update at every start, which on a busy machine outlasts the wait for a window.
e2e_faketime_env() {
  [[ -n "$E2E_FAKETIME_LIB" ]] || e2e_fail "libfaketime is not installed"
  E2E_FAKETIME_ENV=("LD_PRELOAD=$E2E_FAKETIME_LIB" "FAKETIME=@$1" FAKETIME_DONT_FAKE_MONOTONIC=1 NO_FAKE_STAT=1)
}

e2e_install_kelvado() {
  [[ -z "$E2E_KELVADO_DIR" ]] || return 0
  local bin=${KELVADO_BIN:-build/kelvado}
  [[ -x "$bin" ]] || e2e_fail "program not found: $bin (set KELVADO_BIN)"
  # The settings file lives beside the executable: each session gets its own copy.
  E2E_KELVADO_DIR=$E2E_DIR/app
  mkdir -p "$E2E_KELVADO_DIR"
  cp "$bin" "$E2E_KELVADO_DIR/kelvado"
}

_e2e_has_title() { [[ -n "$(e2e_wm_name "$1")" ]]; }

e2e_geometry() {
  xwininfo -id "$1" | awk '
    /Absolute upper-left X:/ {x = $NF} /Absolute upper-left Y:/ {y = $NF}
    /^  Width:/ {w = $NF} /^  Height:/ {h = $NF}
    END {print x, y, w, h}'
}

e2e_move() {
  local wid=$1 x=$2 y=$3
  timeout "$E2E_TIMEOUT" xdotool windowmove --sync "$wid" "$x" "$y" ||
    e2e_fail "window $wid did not move to $x,$y"
}

_e2e_focused() { [[ "$(xdotool getwindowfocus 2>/dev/null)" == "$1" ]]; }

e2e_resize() {
  timeout "$E2E_TIMEOUT" xdotool windowsize --sync "$1" "$2" "$3" ||
    e2e_fail "window $1 did not take the size $2x$3"
}

e2e_activate() {
  local wid=$1
  if ((E2E_WM)); then
    xdotool windowactivate "$wid"
  else
    # No _NET_ACTIVE_WINDOW without a window manager: raise and set the focus directly.
    xdotool windowraise "$wid" windowfocus --sync "$wid"
  fi
  e2e_wait_until "window $wid to have the input focus" _e2e_focused "$wid"
}

_e2e_pointer_at() { [[ "$(xdotool getmouselocation)" == "x:$1 y:$2 "* ]]; }

e2e_click_at() {
  local x=$1 y=$2 button=${3:-1}
  # Not `mousemove --sync`: it waits for ever when the pointer is already there.
  xdotool mousemove "$x" "$y"
  e2e_wait_until "the pointer to reach $x,$y" _e2e_pointer_at "$x" "$y"
  # Two clicks closer than the toolkit's double-click time (400 ms) are one double click, which
  # counts as a single click: a person clicking twice on purpose pauses longer than that.
  local wait_ms=$((_e2e_last_click_ms + E2E_CLICK_GAP_MS - $(_e2e_now_ms)))
  ((wait_ms <= 0)) || sleep "$(printf '0.%03d' "$wait_ms")"
  # A person holds the button for a moment; xdotool click would release within a millisecond.
  xdotool mousedown "$button" sleep 0.08 mouseup "$button"
  _e2e_last_click_ms=$(_e2e_now_ms)
}

e2e_click() {
  local wid=$1 cx=$2 cy=$3 button=${4:-1} x y _
  read -r x y _ <<<"$(e2e_geometry "$wid")"
  e2e_click_at $((x + cx)) $((y + cy)) "$button"
}

e2e_click_control() {
  local wid=$1 control=$2 button=${3:-1} left top width height
  [[ -n "${E2E_FORM1_CONTROLS[$control]:-}" ]] || e2e_fail "unknown control $control"
  read -r left top width height <<<"${E2E_FORM1_CONTROLS[$control]}"
  e2e_click "$wid" $((left + width / 2)) $((top + height / 2)) "$button"
}

e2e_type() {
  e2e_activate "$1"
  xdotool type --delay 15 -- "$2"
}

e2e_key() {
  local wid=$1
  shift
  e2e_activate "$wid"
  xdotool key --clearmodifiers "$@"
}

e2e_clipboard() { xclip -o -selection clipboard -t UTF8_STRING 2>/dev/null; }

_e2e_clipboard_is() { [[ "$(e2e_clipboard)" == "$1" ]]; }
_e2e_clipboard_is_not() { ! _e2e_clipboard_is "$1"; }

e2e_set_clipboard() {
  # xclip serves the selection until another client takes it, then exits by itself.
  # shellcheck disable=SC2016 # $1 is the inner shell's argument, expanded there
  e2e_spawn xclip bash -c 'printf %s "$1" | exec xclip -i -quiet -selection clipboard' xclip "$1"
  e2e_wait_until "the clipboard to hold [$1]" _e2e_clipboard_is "$1"
}

e2e_editor_text() {
  local wid=$1 sentinel="e2e-sentinel-$RANDOM$RANDOM"
  e2e_set_clipboard "$sentinel"
  e2e_key "$wid" ctrl+a ctrl+c
  e2e_wait_until "the editor's copy to reach the clipboard" _e2e_clipboard_is_not "$sentinel"
  e2e_key "$wid" ctrl+End
  e2e_clipboard
}

e2e_text_property() {
  # xprop prints the text itself in a UTF-8 locale and quotes it: strip the name and quotes.
  LC_ALL=C.UTF-8 xprop -id "$1" -notype "$2" 2>/dev/null | sed -n "s/^$2 = \"\(.*\)\"\$/\1/p"
}

e2e_wm_name() { e2e_text_property "$1" _NET_WM_NAME; }

e2e_stacking() {
  local id
  for id in $(xprop -root _NET_CLIENT_LIST_STACKING | sed 's/^[^#]*#//; s/,/ /g'); do
    echo $((id))
  done
}

e2e_wm_state() {
  LC_ALL=C.UTF-8 xprop -id "$1" -notype _NET_WM_STATE 2>/dev/null |
    sed -n 's/^_NET_WM_STATE = //p' | tr -d ' ' | tr ',' '\n' | sed '/^$/d'
}

# Both editors mark unsaved changes with a leading "*" in the title.
_e2e_modified() { [[ "$(e2e_wm_name "$1")" == \** ]]; }
_e2e_saved() { [[ -n "$(e2e_wm_name "$1")" ]] && ! _e2e_modified "$1"; }

e2e_save() {
  e2e_key "$1" ctrl+s
  e2e_wait_until "editor $1 to save" _e2e_saved "$1"
}

e2e_wait_modified() { e2e_wait_until "editor $1 to show a change" _e2e_modified "$1"; }

_e2e_title_is() { [[ "$(e2e_wm_name "$1")" == "$2" ]]; }

e2e_wait_title() {
  e2e_wait_until "the title of $1 to become [$2]" _e2e_title_is "$1" "$2" ||
    e2e_fail "title of $1 is [$(e2e_wm_name "$1")], expected [$2]"
}

e2e_close() {
  ((E2E_WM)) || e2e_fail "e2e_close needs a window manager (e2e_session_start --wm)"
  # The window manager turns _NET_CLOSE_WINDOW into WM_DELETE_WINDOW, like the close box.
  wmctrl -i -c "$1"
}

_e2e_frame() {
  # Client geometry grown by the window manager's frame (_NET_FRAME_EXTENTS: left right top bottom).
  local x y w h l=0 r=0 t=0 b=0 extents
  read -r x y w h <<<"$(e2e_geometry "$1")"
  extents=$(xprop -id "$1" -notype _NET_FRAME_EXTENTS 2>/dev/null |
    sed -n 's/^_NET_FRAME_EXTENTS = //p' | tr -d ',')
  [[ -n "$extents" ]] && read -r l r t b <<<"$extents"
  echo $((x - l)) $((y - t)) $((x + w + r)) $((y + h + b))
}

e2e_screenshot() {
  local file=$1
  shift
  if (($# == 0)); then
    import -window root "$file"
    return
  fi
  local margin=8 x0=100000 y0=100000 x1=0 y1=0 a b c d wid
  for wid in "$@"; do
    read -r a b c d <<<"$(_e2e_frame "$wid")"
    x0=$((a < x0 ? a : x0)) y0=$((b < y0 ? b : y0)) x1=$((c > x1 ? c : x1)) y1=$((d > y1 ? d : y1))
  done
  x0=$((x0 > margin ? x0 - margin : 0))
  y0=$((y0 > margin ? y0 - margin : 0))
  import -window root -crop "$((x1 + margin - x0))x$((y1 + margin - y0))+$x0+$y0" +repage "$file"
}
