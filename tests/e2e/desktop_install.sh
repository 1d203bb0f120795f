#!/bin/bash
# The program installed for a desktop user: a fresh configuration installs under ~/.local;
# `cmake --install` puts the program, a desktop entry that desktop-file-validate accepts (and
# that asks KWin for its window list and fake input) and the icon at every size there; the
# program started as the entry says shows its window, of the class the entry names, and keeps
# its settings beside itself; the uninstall script takes all but the settings away again.
#   KELVADO_BUILD_DIR  the build folder to install from (CTest passes it)
. "$(dirname "${BASH_SOURCE[0]}")/lib/harness.sh"
source_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/../.." && pwd)
build_dir=${KELVADO_BUILD_DIR:-$source_dir/build}
sizes=(16 22 24 32 48 64 128 256)
e2e_require_tools cmake desktop-file-validate identify
e2e_session_start --wm
prefix=$HOME/.local
entry=$prefix/share/applications/kelvado.desktop

# Where a new build folder installs to, for a user whose home is this session's.
cmake -S "$source_dir" -B "$E2E_DIR/configured" -DKELVADO_BUILD_TESTS=OFF >"$E2E_DIR/logs/configure.log" 2>&1 ||
  e2e_fail "configuring a new build folder failed (see logs/configure.log)"
e2e_assert_eq "CMAKE_INSTALL_PREFIX:PATH=$prefix" "$(grep '^CMAKE_INSTALL_PREFIX:' "$E2E_DIR/configured/CMakeCache.txt")" \
  "default install prefix"

cmake --install "$build_dir" --prefix "$prefix" >"$E2E_DIR/logs/install.log" ||
  e2e_fail "cmake --install failed (see logs/install.log)"
[[ -x "$prefix/bin/kelvado" ]] || e2e_fail "no program in $prefix/bin"
desktop-file-validate "$entry" || e2e_fail "desktop-file-validate rejects $entry"
entry_value() { sed -n "s/^$1=//p" "$entry"; }
e2e_assert_eq "ケルバド|Kelvado|Utility;|kelvado|\"$prefix/bin/kelvado\"" \
  "$(entry_value Name)|$(entry_value 'Name\[en\]')|$(entry_value Categories)|$(entry_value Icon)|$(entry_value Exec)" \
  "desktop entry"
[[ -n "$(entry_value 'Comment\[en\]')" ]] || e2e_fail "no English comment in the desktop entry"
# KWin grants its window list and fake input only to a program whose entry asks for them.
e2e_assert_eq "org_kde_plasma_window_management,org_kde_kwin_fake_input" "$(entry_value X-KDE-Wayland-Interfaces)" \
  "the KWin interfaces the entry asks for"
for size in "${sizes[@]}"; do
  icon=$prefix/share/icons/hicolor/${size}x${size}/apps/kelvado.png
  e2e_assert_eq "${size}x${size}" "$(identify -format '%wx%h' "$icon")" "icon $icon"
done

# Started as the desktop starts it, from the Exec line (a quoted path without arguments).
exec_path=$(entry_value Exec | sed 's/^"\(.*\)"$/\1/')
e2e_spawn installed "$exec_path"
pid=$E2E_LAST_PID
win=$(e2e_find_window "$pid")
e2e_wait_until "the installed program's title" _e2e_has_title "$win"
[[ "$(e2e_wm_name "$win")" =~ ^[0-9]{4}年[0-9]{2}月[0-9]{2}日\(.\)$ ]] ||
  e2e_fail "the installed program's title is [$(e2e_wm_name "$win")]"
[[ "$(xprop -id "$win" WM_CLASS)" == *"\"$(entry_value StartupWMClass)\"" ]] ||
  e2e_fail "WM_CLASS [$(xprop -id "$win" WM_CLASS)] does not end in the entry's StartupWMClass"
e2e_close "$win"
e2e_wait_exit "$pid"
e2e_assert_eq 0 "$E2E_EXIT_STATUS" "exit status of the installed program"
grep -qx '\[pmoj\]' "$prefix/bin/kelvado.ini" || e2e_fail "no settings file beside the installed program"

cmake -DPREFIX="$prefix" -P "$build_dir/desktop/kelvado_uninstall.cmake" >"$E2E_DIR/logs/uninstall.log"
left=$(cd "$prefix" && find . -type f | sort | paste -sd ' ')
e2e_assert_eq "./bin/kelvado.ini" "$left" "files left after the uninstall"
