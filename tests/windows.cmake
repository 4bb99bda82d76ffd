# The unit tests of the Windows build, run under Wine. Wine takes seconds to start a program,
# so the test program runs once and is one ctest test, not one per case.

# GoogleTest from the source Debian ships in libgtest-dev, built with the cross compiler.
set(QN718_GTEST_SOURCE /usr/src/googletest/googletest CACHE PATH "GoogleTest source folder")
add_subdirectory(${QN718_GTEST_SOURCE} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)

# hidraw permissions, serial ports as pseudo-terminals with a fake sysfs, and the resource
# counts (glibc heap, /proc) are Linux's own;
# platform_win32_test.cpp has the Windows cases.
list(REMOVE_ITEM UNIT_TEST_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/unit/hid_access_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/unit/serial_port_test.cpp
  ${CMAKE_CURRENT_SOURCE_DIR}/unit/resource_bounds_test.cpp)
add_executable(unit_tests ${UNIT_TEST_SOURCES} support/loopback_http_peer.cpp
  support/loopback_relay_peer.cpp support/test_system.cpp)
target_link_libraries(unit_tests PRIVATE qn718_sim qn718_core gtest gtest_main)
target_include_directories(unit_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})

# A prefix of the build's own unless WINEPREFIX names one (tools/run-tests.sh makes a fresh one).
set(wine_run ${CMAKE_SOURCE_DIR}/tools/wine-run.sh ${CMAKE_BINARY_DIR}/wine-prefix)
add_test(NAME wine_prefix COMMAND ${wine_run} --init)
set_tests_properties(wine_prefix PROPERTIES FIXTURES_SETUP wine TIMEOUT 300)
add_test(NAME wine_server_stop COMMAND ${wine_run} --stop)
set_tests_properties(wine_server_stop PROPERTIES FIXTURES_CLEANUP wine TIMEOUT 60)

# The command-line tool's own tests, and the demo program run as a user would.
file(GLOB CLI_TEST_SOURCES CONFIGURE_DEPENDS cli/*.cpp)
# The interruption sweep's harness, relayed operations and all, also drives the tool.
add_executable(cli_tests ${CLI_TEST_SOURCES} support/loopback_relay_peer.cpp
  support/test_system.cpp)
target_link_libraries(cli_tests PRIVATE qn718_cli qn718_sim qn718_core gtest gtest_main)
target_include_directories(cli_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})

add_test(NAME unit_tests_under_wine COMMAND ${wine_run} $<TARGET_FILE:unit_tests> --gtest_brief=1)
set_tests_properties(unit_tests_under_wine PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600
  ENVIRONMENT "LANG=C.UTF-8;QN718_UPDATE_SERVER=127.0.0.1:1")

add_test(NAME cli_tests_under_wine COMMAND ${wine_run} $<TARGET_FILE:cli_tests> --gtest_brief=1)
set_tests_properties(cli_tests_under_wine PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 600
  ENVIRONMENT "LANG=C.UTF-8")
add_test(NAME e2e_cli_demo_under_wine
  COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/cli_demo_wine.sh ${wine_run} -- $<TARGET_FILE:qn718-cli-demo>)
# Alone: the tool refuses to run beside another copy of itself.
set_tests_properties(e2e_cli_demo_under_wine PROPERTIES FIXTURES_REQUIRED wine TIMEOUT 300
  RUN_SERIAL TRUE)

# The window programs (with GTK+ 2 for Windows): on Xvfb under Wine, in a prefix of their own.
if(TARGET qn718_ui)
  add_test(NAME wine_gui_prefix COMMAND ${wine_run} --gui --init)
  set_tests_properties(wine_gui_prefix PROPERTIES FIXTURES_SETUP wine_gui TIMEOUT 300)
  add_test(NAME wine_gui_server_stop COMMAND ${wine_run} --gui --stop)
  set_tests_properties(wine_gui_server_stop PROPERTIES FIXTURES_CLEANUP wine_gui TIMEOUT 60)

  # The window layer's own tests, except those that need what only Linux has: startup_test
  # forks the test program, side_window_resources_test counts /proc/self/fd and glibc's heap,
  # update_window_test opens the installer with xdg-open from a PATH of its own, and
  # firmware_windows_test sets times with utimensat and expects Mod2 to be NumLock.
  file(GLOB GUI_TEST_SOURCES CONFIGURE_DEPENDS gui/*.cpp)
  list(REMOVE_ITEM GUI_TEST_SOURCES ${CMAKE_CURRENT_SOURCE_DIR}/gui/startup_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/gui/side_window_resources_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/gui/update_window_test.cpp
    ${CMAKE_CURRENT_SOURCE_DIR}/gui/firmware_windows_test.cpp)
  add_executable(gui_tests ${GUI_TEST_SOURCES} support/loopback_http_peer.cpp
    support/loopback_relay_peer.cpp support/test_system.cpp)
  target_link_libraries(gui_tests PRIVATE qn718_ui qn718_sim qn718_core gtest)
  target_include_directories(gui_tests PRIVATE ${CMAKE_CURRENT_SOURCE_DIR})
  target_compile_definitions(gui_tests PRIVATE QN718_SOURCE_DIR="${CMAKE_SOURCE_DIR}")
  # setenv and unsetenv, which the tests call, from the tests' own environment helper.
  target_compile_options(gui_tests PRIVATE
    -include ${CMAKE_CURRENT_SOURCE_DIR}/support/posix_environment_win32.h)
  # The file chooser of the "Load from file" menu command stays open under Wine: the test's
  # answer does not reach it.
  add_test(NAME gui_tests_under_wine COMMAND ${wine_run} --gui $<TARGET_FILE:gui_tests>
    --gtest_brief=1
    --gtest_filter=-ConfigFileGuiTest.MenuCommandsGoThroughTheChooserAndRememberTheFolder)
  set_tests_properties(gui_tests_under_wine PROPERTIES FIXTURES_REQUIRED wine_gui TIMEOUT 900
    RUN_SERIAL TRUE
    ENVIRONMENT "LANG=C.UTF-8;QN718_UPDATE_SERVER=127.0.0.1:1;QN718_REMOTE_SERVER=127.0.0.1:1")

  # Alone: the program refuses to run beside another copy of itself.
  add_test(NAME e2e_demo_window_under_wine
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/demo_window_wine.sh ${wine_run} --gui --
      $<TARGET_FILE:qn718-programmer-demo> ${CMAKE_BINARY_DIR}/demo-window-wine.png)
  set_tests_properties(e2e_demo_window_under_wine PROPERTIES FIXTURES_REQUIRED wine_gui
    TIMEOUT 300 RUN_SERIAL TRUE)

  add_test(NAME e2e_setup_under_wine
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/e2e/setup_wine.sh ${wine_run} --gui --
      ${CMAKE_BINARY_DIR}/qn718-programmer-${PROJECT_VERSION}-setup.exe
      ${CMAKE_CURRENT_SOURCE_DIR}/e2e/demo_window_wine.sh)
  set_tests_properties(e2e_setup_under_wine PROPERTIES FIXTURES_REQUIRED wine_gui
    TIMEOUT 300 RUN_SERIAL TRUE)
endif()
