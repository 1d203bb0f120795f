# Run by `cmake --install`: writes the desktop entry with the path the program is installed at,
# which is known only then (--prefix may differ from the configured prefix).
# Set beforehand: KELVADO_DESKTOP_TEMPLATE, KELVADO_DESKTOP_OUT, KELVADO_BINDIR, KELVADO_DATADIR.
set(exe "${CMAKE_INSTALL_PREFIX}/${KELVADO_BINDIR}/kelvado")

# Values are escaped for the entry's strings (a backslash doubled); Exec's argument is quoted
# besides, with ", `, $ and \ escaped inside the quotes, and a % doubled.
string(REPLACE "\\" "\\\\" KELVADO_DESKTOP_EXEC_PATH "${exe}")
set(quoted "${exe}")
foreach(special "\\" "\"" "`" "$")
  string(REPLACE "${special}" "\\${special}" quoted "${quoted}")
endforeach()
string(REPLACE "%" "%%" quoted "${quoted}")
string(REPLACE "\\" "\\\\" quoted "${quoted}")
set(KELVADO_DESKTOP_EXEC "\"${quoted}\"")

configure_file("${KELVADO_DESKTOP_TEMPLATE}" "${KELVADO_DESKTOP_OUT}" @ONLY)
file(INSTALL "${KELVADO_DESKTOP_OUT}" DESTINATION "${CMAKE_INSTALL_PREFIX}/${KELVADO_DATADIR}/applications")
