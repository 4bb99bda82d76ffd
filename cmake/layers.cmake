# One static library per folder, and the build-time check that keeps each folder's includes to
# the folders its library links.

# qn718_folder_library(FOLDER [OBJECT] [PUBLIC folder...] [PRIVATE folder...]
#                      [SOURCES file...] [EXCLUDE file...])
# The library qn718_FOLDER of the folder's *.cpp files, found afresh at every build, so a new
# file lands in its folder's library. A file named *_posix.cpp or *_win32.cpp is built only on
# its own system. PUBLIC: folders the folder's headers include; PRIVATE: folders only its
# sources include. Those folders, and no others, are the ones it may include from.
# OBJECT: the folder's objects go whole into each program that links it, not as an archive.
function(qn718_folder_library folder)
  cmake_parse_arguments(PARSE_ARGV 1 arg "OBJECT" "" "PUBLIC;PRIVATE;SOURCES;EXCLUDE")
  file(GLOB sources CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
  list(FILTER sources EXCLUDE REGEX "_(posix|win32)\\.cpp$")
  file(GLOB own_system_sources CONFIGURE_DEPENDS
    ${CMAKE_SOURCE_DIR}/${folder}/*_${platform_suffix}.cpp)
  foreach(excluded ${arg_EXCLUDE})
    list(REMOVE_ITEM sources ${CMAKE_SOURCE_DIR}/${excluded})
  endforeach()
  set(target qn718_${folder})
  if(arg_OBJECT)
    set(kind OBJECT)
  else()
    set(kind STATIC)
  endif()
  add_library(${target} ${kind} ${sources} ${own_system_sources} ${arg_SOURCES})
  target_include_directories(${target} PUBLIC ${CMAKE_SOURCE_DIR})
  foreach(used ${arg_PUBLIC})
    target_link_libraries(${target} PUBLIC qn718_${used})
  endforeach()
  foreach(used ${arg_PRIVATE})
    target_link_libraries(${target} PRIVATE qn718_${used})
  endforeach()
  add_dependencies(${target} qn718_layer_check)
  set(uses ${arg_PUBLIC} ${arg_PRIVATE})
  list(JOIN uses "," uses)
  set_property(GLOBAL APPEND PROPERTY QN718_LAYERS "${folder}:${uses}")
endfunction()

# The check every library waits for; after the last qn718_folder_library. It runs again when a
# file of a checked folder changes, and fails the build naming the file and the folder it must
# not include from. QN718_LAYERS is left set for the check's own test.
function(qn718_add_layer_check)
  get_property(layers GLOBAL PROPERTY QN718_LAYERS)
  list(JOIN layers " " layers)
  set(QN718_LAYERS "${layers}" PARENT_SCOPE)
  set(watched)
  string(REPLACE " " ";" entries "${layers}")
  foreach(entry ${entries})
    string(REGEX REPLACE ":.*" "" folder "${entry}")
    file(GLOB_RECURSE files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${folder}/*.h
      ${CMAKE_SOURCE_DIR}/${folder}/*.hpp ${CMAKE_SOURCE_DIR}/${folder}/*.c
      ${CMAKE_SOURCE_DIR}/${folder}/*.cc ${CMAKE_SOURCE_DIR}/${folder}/*.cpp)
    list(APPEND watched ${files})
  endforeach()
  set(stamp ${CMAKE_BINARY_DIR}/layer_check.stamp)
  add_custom_command(OUTPUT ${stamp}
    COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${CMAKE_SOURCE_DIR} "-DLAYERS=${layers}"
      -P ${CMAKE_SOURCE_DIR}/cmake/check_layers.cmake
    COMMAND ${CMAKE_COMMAND} -E touch ${stamp}
    DEPENDS ${watched} ${CMAKE_SOURCE_DIR}/cmake/check_layers.cmake
    COMMENT "Checking that each folder includes only from the folders it links"
    VERBATIM)
  add_custom_target(qn718_layer_check DEPENDS ${stamp})
endfunction()
