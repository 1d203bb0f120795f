# Run by `cmake --install`: the GNOME Shell extension in the module style of the GNOME Shell on
# this machine (45 and later's when there is none), with the installed program's path in its
# metadata, enabled for the user who installs. The shell loads it at the next login.
# Set beforehand: KELVADO_EXTENSION_SOURCE (the build's gnome-shell folder), KELVADO_EXTENSION_UUID,
# KELVADO_BINDIR, KELVADO_DATADIR.
execute_process(COMMAND gnome-shell --version OUTPUT_VARIABLE shell RESULT_VARIABLE failed ERROR_QUIET)
if(NOT failed AND shell MATCHES "GNOME Shell ([0-9]+)" AND CMAKE_MATCH_1 LESS 45)
  set(style 43)
  set(KELVADO_SHELL_VERSIONS "\"43\", \"44\"")
else()
  set(style 45)
  set(KELVADO_SHELL_VERSIONS "\"45\", \"46\", \"47\", \"48\", \"49\"")
endif()

# The shell compares it with /proc/<pid>/exe, where links are resolved.
file(REAL_PATH "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${KELVADO_BINDIR}/kelvado" exe)
string(LENGTH "$ENV{DESTDIR}" destdir_length)
string(SUBSTRING "${exe}" ${destdir_length} -1 exe)
string(REPLACE "\\" "\\\\" exe "${exe}")
string(REPLACE "\"" "\\\"" KELVADO_EXECUTABLE "${exe}")

set(dir "${CMAKE_INSTALL_PREFIX}/${KELVADO_DATADIR}/gnome-shell/extensions/${KELVADO_EXTENSION_UUID}")
configure_file("${KELVADO_EXTENSION_SOURCE}/metadata.json.in" "${KELVADO_EXTENSION_SOURCE}/metadata.json" @ONLY)
file(INSTALL "${KELVADO_EXTENSION_SOURCE}/metadata.json" "${KELVADO_EXTENSION_SOURCE}/${style}/extension.js"
  DESTINATION "${dir}")

# A staged install (a package being made) leaves the user's settings alone.
if(DEFINED ENV{DESTDIR})
  return()
endif()
execute_process(COMMAND gsettings get org.gnome.shell enabled-extensions
  OUTPUT_VARIABLE enabled OUTPUT_STRIP_TRAILING_WHITESPACE RESULT_VARIABLE failed ERROR_QUIET)
if(failed)
  message(STATUS "GNOME Shell's settings are not on this machine: the extension is installed, not enabled")
  return()
endif()
string(REGEX REPLACE "^@as " "" enabled "${enabled}")
if(enabled MATCHES "'${KELVADO_EXTENSION_UUID}'")
  return()
endif()
if(enabled STREQUAL "[]")
  set(enabled "['${KELVADO_EXTENSION_UUID}']")
else()
  string(REGEX REPLACE "]$" ", '${KELVADO_EXTENSION_UUID}']" enabled "${enabled}")
endif()
execute_process(COMMAND gsettings set org.gnome.shell enabled-extensions "${enabled}" RESULT_VARIABLE failed)
if(failed)
  message(WARNING "could not enable the GNOME Shell extension ${KELVADO_EXTENSION_UUID}")
else()
  message(STATUS "Enabled the GNOME Shell extension ${KELVADO_EXTENSION_UUID}: log out and in once for pastes on GNOME")
endif()
