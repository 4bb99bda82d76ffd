# What the Windows cross build needs that Linux takes from its packages: hidapi's Windows
# backend and GoogleTest, both built here from Debian's sources, and the link settings that
# let the programs run without the compiler's run-time DLLs.

set(QN718_HIDAPI_SOURCE "${CMAKE_SOURCE_DIR}/.deps/hidapi" CACHE PATH
  "Unpacked source of Debian's hidapi package (tools/install-deps.sh --windows fetches it)")
if(NOT EXISTS "${QN718_HIDAPI_SOURCE}/windows/hid.c")
  message(FATAL_ERROR "No hidapi source in ${QN718_HIDAPI_SOURCE}: run tools/install-deps.sh --windows")
endif()

# Every program and its DLLs in one folder, as they are shipped: Windows finds a DLL beside
# the program that loads it.
set(CMAKE_RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/bin)

# The C++ and thread run-times are linked in; only hidapi.dll travels with the programs.
add_link_options(-static)

add_library(hidapi SHARED ${QN718_HIDAPI_SOURCE}/windows/hid.c)
target_include_directories(hidapi PUBLIC ${QN718_HIDAPI_SOURCE}/hidapi)
# hidapi's own code, not ours to keep warning-free.
target_compile_options(hidapi PRIVATE -w)
set_target_properties(hidapi PROPERTIES PREFIX "" OUTPUT_NAME hidapi)
set(HIDAPI_INCLUDE_DIRS ${QN718_HIDAPI_SOURCE}/hidapi)

# The vehicle table generator runs during the build, so it is built for this machine.
set(QN718_HOST_CXX "c++" CACHE STRING "Compiler for the programs that run during the build")
set(QN718_VEHICLE_TABLE_GEN ${CMAKE_BINARY_DIR}/host/vehicle_table_gen)
add_custom_command(
  OUTPUT ${QN718_VEHICLE_TABLE_GEN}
  COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/host
  COMMAND ${QN718_HOST_CXX} -std=c++17 -O1 -o ${QN718_VEHICLE_TABLE_GEN}
    ${CMAKE_SOURCE_DIR}/data/vehicle_table_gen.cpp
  DEPENDS ${CMAKE_SOURCE_DIR}/data/vehicle_table_gen.cpp
  COMMENT "Building the vehicle table generator for the build machine"
  VERBATIM)
