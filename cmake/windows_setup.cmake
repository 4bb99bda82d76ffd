# cmake -DSTAGE=... -DBUILD=... -DGTK_PREFIX=... -DSOURCE=... -DSTRIP=... -P windows_setup.cmake
# Lays out the installation the setup program installs: bin\ with the four programs, hidapi
# and GTK's DLLs, lib\ with GTK's theme engine, share\themes\, doc\ with the texts.
file(REMOVE_RECURSE ${STAGE})
execute_process(COMMAND ${CMAKE_COMMAND} -DGTK_PREFIX=${GTK_PREFIX} -DDESTINATION=${STAGE}
  -DTHEMES=${SOURCE}/share/themes -DGTKRC=${SOURCE}/packaging/windows/gtkrc
  -P ${SOURCE}/cmake/windows_gtk_runtime.cmake
  COMMAND_ERROR_IS_FATAL ANY)
foreach(program qn718-programmer qn718-programmer-demo qn718-cli qn718-cli-demo)
  file(COPY ${BUILD}/bin/${program}.exe DESTINATION ${STAGE}/bin)
endforeach()
file(COPY ${BUILD}/bin/hidapi.dll DESTINATION ${STAGE}/bin)
# Debugging information is most of a DLL's size; the installed programs need none.
file(GLOB_RECURSE binaries ${STAGE}/*.exe ${STAGE}/*.dll)
foreach(binary ${binaries})
  execute_process(COMMAND ${STRIP} --strip-unneeded ${binary} COMMAND_ERROR_IS_FATAL ANY)
endforeach()
file(COPY ${BUILD}/qn718-programmer.txt ${BUILD}/qn718-cli.txt DESTINATION ${STAGE}/doc)
if(EXISTS ${BUILD}/README-Windows.txt)
  file(COPY ${BUILD}/README-Windows.txt DESTINATION ${STAGE}/doc)
endif()
