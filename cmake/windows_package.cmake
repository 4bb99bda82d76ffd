# The Windows zip: `cpack -G ZIP` in the cross build folder (tools/build-windows.sh does it)
# makes qn718-cli-<version>-win64.zip: the programs, hidapi.dll and the texts, in one folder.
install(TARGETS qn718-cli qn718-cli-demo hidapi RUNTIME DESTINATION .)

# The manual page as plain text: Windows has no man.
set(cli_manual ${CMAKE_BINARY_DIR}/qn718-cli.txt)
add_custom_command(OUTPUT ${cli_manual}
  COMMAND sh -c "groff -man -Tutf8 -P-cbou ${CMAKE_SOURCE_DIR}/packaging/qn718-cli.1 > ${cli_manual}"
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/qn718-cli.1
  COMMENT "Formatting the manual page as text"
  VERBATIM)
add_custom_target(qn718_windows_docs ALL DEPENDS ${cli_manual})
install(FILES ${cli_manual} DESTINATION .)

# The README's Windows section, from its heading to the next one of the same level.
file(READ ${CMAKE_SOURCE_DIR}/README.md readme)
string(FIND "${readme}" "\n## Windows" start)
if(start GREATER -1)
  string(SUBSTRING "${readme}" ${start} -1 section)
  string(SUBSTRING "${section}" 1 -1 section)
  string(FIND "${section}" "\n## " end)
  if(end GREATER -1)
    string(SUBSTRING "${section}" 0 ${end} section)
  endif()
  file(WRITE ${CMAKE_BINARY_DIR}/README-Windows.txt "${section}")
  install(FILES ${CMAKE_BINARY_DIR}/README-Windows.txt DESTINATION .)
else()
  message(WARNING "README.md has no \"## Windows\" section; the zip goes without it")
endif()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/README.md)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME qn718-cli)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_STRIP_FILES ON)
include(CPack)
