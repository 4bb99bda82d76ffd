# cmake -DGTK_PREFIX=... -DDESTINATION=... -DTHEMES=... -DGTKRC=... -P windows_gtk_runtime.cmake
# What GTK+ 2 needs at run time, laid out as it looks for it beside its DLLs: the DLLs in bin/,
# the MS-Windows theme engine in lib/gtk-2.0/2.10.0/engines/, the themes in share/themes/, and
# the resource file that chooses GTK's own look in etc/gtk-2.0/.
file(GLOB dlls ${GTK_PREFIX}/bin/*.dll)
file(COPY ${dlls} DESTINATION ${DESTINATION}/bin)
file(COPY ${GTK_PREFIX}/lib/gtk-2.0/2.10.0/engines/libwimp.dll
  DESTINATION ${DESTINATION}/lib/gtk-2.0/2.10.0/engines)
file(COPY ${GTK_PREFIX}/share/themes/MS-Windows DESTINATION ${DESTINATION}/share/themes)
file(GLOB themes LIST_DIRECTORIES true ${THEMES}/*)
file(COPY ${themes} DESTINATION ${DESTINATION}/share/themes)
file(COPY ${GTKRC} DESTINATION ${DESTINATION}/etc/gtk-2.0)
