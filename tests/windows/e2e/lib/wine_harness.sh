# shellcheck shell=bash
# End-to-end harness for the Windows program under Wine, on top of the X11 harness (the same
# virtual display, window manager, pointer and keyboard, clipboard and screenshots): Wine sees
# the X server as its desktop and the X clipboard as its clipboard.
#
#   . "$(dirname "${BASH_SOURCE[0]}")/lib/wine_harness.sh"
#   wine_session_start
#   wine_start_kelvado --faketime "2003-04-07 10:00:00"
#
# Environment read (CTest sets both):
#   KELVADO_EXE          the kelvado.exe to test
#   KELVADO_WINDOW_TEXT  the window_text.exe test tool
#   KELVADO_WINE_CACHE   a folder kept between runs for the Japanese locale and the template
#                        prefix, each made once (default: a folder beside KELVADO_EXE)
#
#   wine_session_start [--dpi N]   e2e_session_start --wm, then a private Wine prefix copied
#                                  from the template, in a Japanese locale (ja_JP.UTF-8 built
#                                  with localedef into the cache; nothing system-wide), with
#                                  "ＭＳ Ｐゴシック" mapped to IPAPGothic; --dpi sets the
#                                  desktop's pixels per inch (96 otherwise)
#   wine_path WINDOWS_PATH         prints the Linux path of a C:\ path in the session's prefix
#   wine_install_kelvado [FOLDER]  copy the program to FOLDER (a C:\ path; default
#                                  C:\ケルバド); sets WINE_KELVADO_EXE (C:\ path) and
#                                  E2E_KELVADO_DIR (its folder, Linux path)
#   wine_start_kelvado [--faketime "YYYY-MM-DD hh:mm:ss"]
#                                  install (if not yet), start it, wait for the main window's
#                                  date title; sets E2E_KELVADO_PID and E2E_KELVADO_WIN
#   wine_windows TITLE             ids of the program's visible windows titled exactly TITLE
#   wine_wait_window TITLE         wait for one; prints its id
#   wine_start_notepad             start Wine's Notepad, wait for its window; sets
#                                  E2E_LAST_PID and E2E_LAST_WIN
#   wine_text --class C|--title T [CHILD_CLASS]
#                                  what a window (or its children of CHILD_CLASS) shows, read
#                                  from outside by window_text.exe: no focus or clipboard moves
#   wine_notepad_text              Notepad's text
#   wine_wait_text EXPECTED ARGS...
#                                  wait until wine_text ARGS prints EXPECTED

. "$(dirname "${BASH_SOURCE[0]}")/../../../e2e/lib/harness.sh"

WINE_KELVADO_EXE=""
WINE_KELVADO_CLASS=kelvado.exe

wine_require_tools() {
  e2e_require_tools wine wineserver localedef flock "$@"
  [[ -f ${KELVADO_EXE:-} ]] || e2e_fail "program not found: ${KELVADO_EXE:-} (set KELVADO_EXE)"
  [[ -f ${KELVADO_WINDOW_TEXT:-} ]] || e2e_fail "window_text.exe not found (set KELVADO_WINDOW_TEXT)"
}

# The cache: the ja_JP.UTF-8 locale and a booted template prefix, each made once, under a lock
# so that tests started together wait for one another instead of booting Wine twice.
_wine_prepare_cache() {
  local cache=$1
  mkdir -p "$cache"
  exec 8>"$cache/lock"
  flock 8
  if [[ ! -d $cache/locale/ja_JP.UTF-8 ]]; then
    mkdir -p "$cache/locale"
    localedef -i ja_JP -f UTF-8 "$cache/locale/ja_JP.UTF-8" 2>/dev/null ||
      [[ -d $cache/locale/ja_JP.UTF-8 ]] || e2e_fail "could not build the ja_JP.UTF-8 locale"
  fi
  # Wine takes its code page (932) and its Japanese names from the locale.
  # For the programs started from here: bash itself reads LOCPATH only at its own start and
  # keeps its C.UTF-8, which is fine, so its complaint is dropped.
  export LOCPATH=$cache/locale
  { export LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8; } 2>/dev/null
  if [[ ! -f $cache/template/.kelvado-ready ]]; then
    rm -rf "$cache/template"
    (
      export WINEPREFIX=$cache/template
      wineboot -i >"$cache/wineboot.log" 2>&1
      # Windows names the face in Japanese; Wine has neither name, so both go to IPA P Gothic.
      for face in "MS PGothic" "ＭＳ Ｐゴシック"; do
        wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d IPAPGothic /f \
          >>"$cache/wineboot.log" 2>&1
      done
      # A crash must fail the test, not wait behind Wine's crash dialog.
      wine reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
        >>"$cache/wineboot.log" 2>&1
      wineserver -w
    )
    touch "$cache/template/.kelvado-ready"
  fi
  flock -u 8
  exec 8>&-
}

_wine_teardown() {
  local status=$?
  # Wine's own server and whatever it still runs go first, then the X session.
  [[ -n ${WINEPREFIX:-} && -d $WINEPREFIX ]] && wineserver -k 2>/dev/null
  (exit "$status")
  _e2e_teardown
}

wine_session_start() {
  local dpi=""
  while (($#)); do
    case $1 in
      --dpi) dpi=$2; shift ;;
      *) e2e_fail "wine_session_start: unknown option $1" ;;
    esac
    shift
  done
  wine_require_tools
  local cache=${KELVADO_WINE_CACHE:-$(dirname "$KELVADO_EXE")/wine-e2e}
  e2e_session_start --wm
  export WINEDEBUG=-all WINEDLLOVERRIDES=mscoree,mshtml=
  _wine_prepare_cache "$cache"
  export WINEPREFIX=$E2E_DIR/prefix
  cp -a "$cache/template" "$WINEPREFIX"
  trap _wine_teardown EXIT
  if [[ -n $dpi ]]; then
    wine reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null 2>&1
    wineserver -w
  fi
  e2e_log "Wine prefix $WINEPREFIX, locale $LANG"
}

wine_path() {
  local p=${1#[Cc]:}
  echo "$WINEPREFIX/drive_c${p//\\//}"
}

wine_install_kelvado() {
  [[ -z $WINE_KELVADO_EXE ]] || return 0
  local folder=${1:-'C:\ケルバド'}
  WINE_KELVADO_EXE="$folder\\kelvado.exe"
  E2E_KELVADO_DIR=$(wine_path "$folder")
  mkdir -p "$E2E_KELVADO_DIR"
  cp "$KELVADO_EXE" "$E2E_KELVADO_DIR/kelvado.exe"
}

_wine_main_window=""
_wine_find_main() {
  local wid
  for wid in $(xdotool search --onlyvisible --classname "$WINE_KELVADO_CLASS" 2>/dev/null || true); do
    # The main window is the one whose title is a date (or the start-up title).
    if [[ "$(e2e_wm_name "$wid")" =~ [0-9]|^ケルバド$ ]]; then
      _wine_main_window=$wid
      return 0
    fi
  done
  ! _e2e_alive "$E2E_KELVADO_PID"
}

wine_start_kelvado() {
  local env=() faketime=""
  while (($#)); do
    case $1 in
      --faketime) faketime=$2; shift ;;
      *) e2e_fail "wine_start_kelvado: unknown option $1" ;;
    esac
    shift
  done
  wine_install_kelvado
  if [[ -n "$faketime" ]]; then
    e2e_faketime_env "$faketime"
    env+=("${E2E_FAKETIME_ENV[@]}")
  fi
  # What the program writes to the event log, Wine prints as errors of its own.
  e2e_spawn kelvado env "${env[@]}" WINEDEBUG=-all,err+eventlog wine "$WINE_KELVADO_EXE"
  E2E_KELVADO_PID=$E2E_LAST_PID
  # Wine's first start in a fresh prefix copy takes a few seconds.
  E2E_TIMEOUT=$((E2E_TIMEOUT * 3)) e2e_wait_until "the program's main window" _wine_find_main ||
    e2e_fail "no main window"
  [[ -n "$_wine_main_window" ]] || e2e_fail "the program ended before showing its window"
  E2E_KELVADO_WIN=$_wine_main_window
  e2e_log "kelvado.exe started: pid $E2E_KELVADO_PID, window $E2E_KELVADO_WIN"
}

wine_windows() {
  local wid
  for wid in $(xdotool search --onlyvisible --classname "$WINE_KELVADO_CLASS" 2>/dev/null || true); do
    [[ "$(e2e_wm_name "$wid")" == "$1" ]] && echo "$wid"
  done
  return 0
}

_wine_found=""
_wine_has_window() { _wine_found=$(wine_windows "$1" | head -n 1) && [[ -n $_wine_found ]]; }

wine_wait_window() {
  e2e_wait_until "a window titled [$1]" _wine_has_window "$1" || e2e_fail "no window titled [$1]"
  echo "$_wine_found"
}

_wine_notepad=""
_wine_find_notepad() {
  # A hidden "Default IME" window shares the class: only the visible one is Notepad's.
  _wine_notepad=$(xdotool search --onlyvisible --classname notepad.exe 2>/dev/null | head -n 1) &&
    [[ -n $_wine_notepad ]]
}

wine_start_notepad() {
  e2e_spawn notepad wine notepad
  local pid=$E2E_LAST_PID
  E2E_TIMEOUT=$((E2E_TIMEOUT * 3)) e2e_wait_until "Notepad's window" _wine_find_notepad ||
    e2e_fail "Notepad did not open"
  E2E_LAST_PID=$pid
  E2E_LAST_WIN=$_wine_notepad
  e2e_log "Notepad started: pid $pid, window $E2E_LAST_WIN"
}

wine_text() { wine "$KELVADO_WINDOW_TEXT" "$@" 2>/dev/null; }

wine_notepad_text() { wine_text --class Notepad Edit; }

_wine_text_is() {
  local expected=$1
  shift
  [[ "$(wine_text "$@")" == "$expected" ]]
}

wine_wait_text() {
  local expected=$1
  shift
  e2e_wait_until "[$*] to show [$expected]" _wine_text_is "$expected" "$@" ||
    e2e_fail "[$*] shows [$(wine_text "$@")], expected [$expected]"
}

# The notation dialog's control positions and dialog_click come from the X11 tests' helpers.
. "$(dirname "${BASH_SOURCE[0]}")/../../../e2e/lib/dialog_helpers.sh"

# Message boxes: a window of the program captioned CAPTION other than the main window (an
# error box's caption is the main window's title).
wine_boxes() { wine_windows "$1" | grep -vx "$E2E_KELVADO_WIN" || true; }

_wine_box=""
_wine_has_box() { _wine_box=$(wine_boxes "$1" | head -n 1) && [[ -n $_wine_box ]]; }
_wine_no_box() { [[ -z "$(wine_boxes "$1")" ]]; }

# Waits for a message box captioned CAPTION and answers it with Enter (its one button, OK).
wine_box_ok() {
  e2e_wait_until "a message box [$1]" _wine_has_box "$1" || e2e_fail "no message box [$1]"
  e2e_key "$_wine_box" Return
  e2e_wait_until "the box [$1] to close" _wine_no_box "$1" || e2e_fail "the box [$1] stayed"
}
