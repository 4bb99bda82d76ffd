# Fails when a file includes from a folder its library does not link.
#   cmake -DSOURCE_DIR=<tree> "-DLAYERS=folder:used,used folder:used ..." -P check_layers.cmake
# Every folder includes from the root of the tree (#include "device/device_link.h"), so the
# first part of an include's path names the folder it comes from. A file of a checked folder
# may include from its own folder and from the folders listed for it; an include of any other
# folder of the tree is refused. Includes without a folder, or of a folder the tree does not
# have (<gtk/gtk.h>, "hidapi.h"), are not ours to judge.

cmake_minimum_required(VERSION 3.16)

if(NOT SOURCE_DIR OR NOT DEFINED LAYERS)
  message(FATAL_ERROR "usage: cmake -DSOURCE_DIR=<tree> -DLAYERS=<rules> -P check_layers.cmake")
endif()

file(GLOB children LIST_DIRECTORIES true RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*)
set(tree_folders)
foreach(child ${children})
  if(IS_DIRECTORY ${SOURCE_DIR}/${child} AND NOT child MATCHES "^\\.")
    list(APPEND tree_folders ${child})
  endif()
endforeach()

set(refusals)
string(REPLACE " " ";" rules "${LAYERS}")
foreach(rule ${rules})
  if(NOT rule MATCHES "^([A-Za-z0-9_-]+):([A-Za-z0-9_,-]*)$")
    message(FATAL_ERROR "check_layers: a rule is folder:used,used..., not \"${rule}\"")
  endif()
  set(folder ${CMAKE_MATCH_1})
  string(REPLACE "," ";" allowed "${CMAKE_MATCH_2}")
  list(JOIN allowed "/, " allowed_text)
  if(allowed_text)
    set(allowed_text "${allowed_text}/")
  else()
    set(allowed_text "none")
  endif()
  file(GLOB_RECURSE files RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/${folder}/*.h
    ${SOURCE_DIR}/${folder}/*.hpp ${SOURCE_DIR}/${folder}/*.c ${SOURCE_DIR}/${folder}/*.cc
    ${SOURCE_DIR}/${folder}/*.cpp)
  list(SORT files)
  foreach(file ${files})
    file(STRINGS ${SOURCE_DIR}/${file} includes
      REGEX "^[ \t]*#[ \t]*include[ \t]*\"[^\"/]+/[^\"]*\"")
    foreach(line ${includes})
      string(REGEX MATCH "\"(([^\"/]+)/[^\"]*)\"" quoted "${line}")
      set(included ${CMAKE_MATCH_1})
      set(from ${CMAKE_MATCH_2})
      if(from STREQUAL folder OR NOT from IN_LIST tree_folders OR from IN_LIST allowed)
        continue()
      endif()
      # The line number, for an editor to jump to.
      file(READ ${SOURCE_DIR}/${file} text)
      string(FIND "${text}" "${line}" at)
      string(SUBSTRING "${text}" 0 ${at} before)
      string(REGEX MATCHALL "\n" newlines "${before}")
      list(LENGTH newlines line_number)
      math(EXPR line_number "${line_number} + 1")
      list(APPEND refusals "${file}:${line_number}: includes \"${included}\", but ${folder}/ \
may not include from ${from}/ (${folder}/ may include from: ${allowed_text})")
    endforeach()
  endforeach()
endforeach()

if(refusals)
  # Each refusal on a line of its own, unwrapped, for editors and for grep.
  foreach(refusal ${refusals})
    message(NOTICE "${refusal}")
  endforeach()
  message(FATAL_ERROR "A folder includes only from the folders its library links \
(qn718_folder_library in CMakeLists.txt). Move the shared piece down, or hand it in from \
above.")
endif()
