# The window programs on Windows: the same ui/ sources as on Linux, on GTK+ 2 cross-built from
# Debian's sources by tools/build-gtk-windows.sh into QN718_GTK_WINDOWS_PREFIX.
# The build folder is laid out as the installation is (bin/, lib/gtk-2.0/, share/themes/), so
# that GTK and the themes menu find their files from the programs' own folder there too.

set(gtk_prefix ${QN718_GTK_WINDOWS_PREFIX})
if(NOT EXISTS ${gtk_prefix}/lib/pkgconfig/gtk+-2.0.pc)
  message(FATAL_ERROR "No GTK+ 2 for Windows in ${gtk_prefix}: run tools/build-gtk-windows.sh")
endif()
# Only the prefix's own .pc files, and its libraries found although they are outside the
# compiler's root.
set(ENV{PKG_CONFIG_LIBDIR} ${gtk_prefix}/lib/pkgconfig)
set(ENV{PKG_CONFIG_PATH} "")
list(APPEND CMAKE_FIND_ROOT_PATH ${gtk_prefix})
find_package(PkgConfig REQUIRED)
pkg_check_modules(GTK2 REQUIRED IMPORTED_TARGET gtk+-2.0)

qn718_folder_library(ui PUBLIC ${QN718_CORE_FOLDERS} EXCLUDE ui/main.cpp)
target_link_libraries(qn718_ui PUBLIC PkgConfig::GTK2)

# The program's icon (the first icon in the file is every window's icon too) and its version.
set(icon ${CMAKE_BINARY_DIR}/qn718-programmer.ico)
add_custom_command(OUTPUT ${icon}
  COMMAND convert ${CMAKE_SOURCE_DIR}/packaging/icons/qn718-programmer-16.png
    ${CMAKE_SOURCE_DIR}/packaging/icons/qn718-programmer-32.png
    ${CMAKE_SOURCE_DIR}/packaging/icons/qn718-programmer-48.png
    ${CMAKE_SOURCE_DIR}/packaging/icons/qn718-programmer-256.png ${icon}
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/icons/qn718-programmer-256.png
  COMMENT "Making the Windows icon"
  VERBATIM)
set(QN718_ICON ${icon})
configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/qn718-programmer.rc.in
  ${CMAKE_BINARY_DIR}/qn718-programmer.rc @ONLY)
set_source_files_properties(${CMAKE_BINARY_DIR}/qn718-programmer.rc PROPERTIES
  OBJECT_DEPENDS ${icon})

# WIN32: a window program, no console window beside it.
add_executable(qn718-programmer WIN32 ui/main.cpp ${CMAKE_BINARY_DIR}/qn718-programmer.rc)
# hidapi after the core, whose calls it resolves: a static link is taken in order.
target_link_libraries(qn718-programmer PRIVATE qn718_ui ${QN718_CORE_LIBRARIES} hidapi)
add_executable(qn718-programmer-demo WIN32 ui/main.cpp ${CMAKE_BINARY_DIR}/qn718-programmer.rc)
target_link_libraries(qn718-programmer-demo PRIVATE qn718_ui qn718_sim)

# GTK's DLLs beside the programs, its theme engine and our themes where GTK looks for them.
set(gtk_runtime_stamp ${CMAKE_BINARY_DIR}/gtk-runtime.stamp)
add_custom_command(OUTPUT ${gtk_runtime_stamp}
  COMMAND ${CMAKE_COMMAND} -DGTK_PREFIX=${gtk_prefix} -DDESTINATION=${CMAKE_BINARY_DIR}
    -DTHEMES=${CMAKE_SOURCE_DIR}/share/themes -DGTKRC=${CMAKE_SOURCE_DIR}/packaging/windows/gtkrc
    -P ${CMAKE_SOURCE_DIR}/cmake/windows_gtk_runtime.cmake
  COMMAND ${CMAKE_COMMAND} -E touch ${gtk_runtime_stamp}
  DEPENDS ${CMAKE_SOURCE_DIR}/cmake/windows_gtk_runtime.cmake ${gtk_prefix}/.complete
    ${CMAKE_SOURCE_DIR}/packaging/windows/gtkrc
  COMMENT "Copying GTK's run-time files and the themes"
  VERBATIM)
add_custom_target(qn718_gtk_runtime ALL DEPENDS ${gtk_runtime_stamp})
add_dependencies(qn718-programmer qn718_gtk_runtime)
add_dependencies(qn718-programmer-demo qn718_gtk_runtime)

# The setup program, qn718-programmer-<version>-setup.exe, made with makensis (Debian's nsis).
set(programmer_manual ${CMAKE_BINARY_DIR}/qn718-programmer.txt)
add_custom_command(OUTPUT ${programmer_manual}
  COMMAND sh -c "groff -man -Tutf8 -P-cbou ${CMAKE_SOURCE_DIR}/packaging/qn718-programmer.1 > ${programmer_manual}"
  DEPENDS ${CMAKE_SOURCE_DIR}/packaging/qn718-programmer.1
  COMMENT "Formatting the window program's manual page as text"
  VERBATIM)
set(setup ${CMAKE_BINARY_DIR}/qn718-programmer-${PROJECT_VERSION}-setup.exe)
set(setup_stage ${CMAKE_BINARY_DIR}/setup-stage)
add_custom_command(OUTPUT ${setup}
  COMMAND ${CMAKE_COMMAND} -DSTAGE=${setup_stage} -DBUILD=${CMAKE_BINARY_DIR}
    -DGTK_PREFIX=${gtk_prefix} -DSOURCE=${CMAKE_SOURCE_DIR} -DSTRIP=${CMAKE_STRIP}
    -P ${CMAKE_SOURCE_DIR}/cmake/windows_setup.cmake
  COMMAND makensis -V2 -DVERSION=${PROJECT_VERSION} -DSTAGE=${setup_stage} -DOUTFILE=${setup}
    -DICON=${icon} ${CMAKE_SOURCE_DIR}/packaging/windows/qn718-programmer.nsi
  DEPENDS qn718-programmer qn718-programmer-demo qn718-cli qn718-cli-demo hidapi
    qn718_gtk_runtime qn718_windows_docs ${programmer_manual} ${icon}
    ${CMAKE_SOURCE_DIR}/packaging/windows/qn718-programmer.nsi
    ${CMAKE_SOURCE_DIR}/cmake/windows_setup.cmake
    ${CMAKE_SOURCE_DIR}/packaging/windows/gtkrc
  COMMENT "Making the setup program"
  VERBATIM)
add_custom_target(qn718_setup DEPENDS ${setup})
