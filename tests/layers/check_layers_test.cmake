# The layer check passes on the tree as it is, and fails, naming the file and the folder, when
# one file on a copy of the tree includes from a folder its library does not link.
#   cmake -DSOURCE_DIR=<tree> -DLAYERS=<rules> -DWORK=<scratch folder> -P check_layers_test.cmake

cmake_minimum_required(VERSION 3.16)

set(check ${SOURCE_DIR}/cmake/check_layers.cmake)

function(run_check tree result_var output_var)
  execute_process(COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${tree} "-DLAYERS=${LAYERS}" -P ${check}
    RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output)
  set(${result_var} ${result} PARENT_SCOPE)
  set(${output_var} "${output}" PARENT_SCOPE)
endfunction()

run_check(${SOURCE_DIR} result output)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "the check refuses the tree itself:\n${output}")
endif()

# A copy of the checked folders; each case adds one file to it, and takes it away again.
file(REMOVE_RECURSE ${WORK})
string(REPLACE " " ";" rules "${LAYERS}")
foreach(rule ${rules})
  string(REGEX REPLACE ":.*" "" folder "${rule}")
  file(COPY ${SOURCE_DIR}/${folder} DESTINATION ${WORK})
endforeach()

# file | its include | passes
set(cases
  "platform/probe.h|remote/remote_session.h|no"   # upward, two floors
  "device/probe.cpp|config/config_record.h|no"    # upward, one floor
  "console/probe.h|remote/relay_queue.h|no"       # sideways, to a folder on the same floor
  "config/nested/probe.cpp|ui/widget_kit.h|no"    # a file in a subfolder, into the window layer
  "device/probe.cpp|sim/sim_control.h|no"         # the simulator is no part of the core
  "remote/probe.cpp|firmware/flasher.h|yes"       # downward, to a folder remote links
  "update/probe.cpp|gtk/gtk.h|yes"                # not a folder of the tree
)
set(failures)
foreach(case ${cases})
  string(REPLACE "|" ";" case "${case}")
  list(GET case 0 file)
  list(GET case 1 include)
  list(GET case 2 passes)
  file(WRITE ${WORK}/${file} "// probe\n#include <string>\n\n#include \"${include}\"\n")
  run_check(${WORK} result output)
  file(REMOVE ${WORK}/${file})
  string(REGEX MATCH "^[^/]+" folder "${file}")
  string(REGEX MATCH "^[^/]+" from "${include}")
  if(passes)
    if(NOT result EQUAL 0)
      list(APPEND failures "${file} including ${include} was refused:\n${output}")
    endif()
  elseif(result EQUAL 0)
    list(APPEND failures "${file} including ${include} passed")
  elseif(NOT output MATCHES "${file}:4: includes \"${include}\", but ${folder}/ may not include from ${from}/")
    list(APPEND failures "${file} including ${include}: the message does not name them:\n${output}")
  endif()
endforeach()
file(REMOVE_RECURSE ${WORK})
if(failures)
  list(JOIN failures "\n" text)
  message(FATAL_ERROR "${text}")
endif()
