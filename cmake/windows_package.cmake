# The Windows zip: `cpack -G ZIP` in the cross build folder (tools/build-windows.sh does it)
# makes qn718-cli-<version>-win64.zip with the programs, hidapi.dll and the texts.
install(TARGETS hidapi RUNTIME DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME qn718-cli)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_SYSTEM_NAME win64)
set(CPACK_STRIP_FILES ON)
include(CPack)
