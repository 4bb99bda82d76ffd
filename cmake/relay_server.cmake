# qn718-relay, the remote-access server (Linux): a library of its own that needs nothing of the
# program's, its executable, tests, benchmark and installed files.
file(GLOB QN718_RELAY_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/relay_server/*.cpp)
list(REMOVE_ITEM QN718_RELAY_SOURCES ${CMAKE_SOURCE_DIR}/relay_server/main.cpp)
add_library(qn718_relay_server STATIC ${QN718_RELAY_SOURCES})
target_include_directories(qn718_relay_server PUBLIC ${CMAKE_SOURCE_DIR})

add_executable(qn718-relay ${CMAKE_SOURCE_DIR}/relay_server/main.cpp)
target_link_libraries(qn718-relay PRIVATE qn718_relay_server Threads::Threads)
target_compile_definitions(qn718-relay PRIVATE QN718_RELAY_VERSION="${PROJECT_VERSION}")

if(QN718_BUILD_TESTS)
  find_package(GTest REQUIRED)
  include(GoogleTest)
  # The codecs, and the server in this process against raw sockets and the program's own relay.
  file(GLOB RELAY_TEST_SOURCES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/tests/relay/*.cpp)
  add_executable(relay_server_tests ${RELAY_TEST_SOURCES})
  target_link_libraries(relay_server_tests PRIVATE qn718_relay_server qn718_sim qn718_core
    GTest::gtest GTest::gtest_main)
  target_include_directories(relay_server_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests)
  gtest_discover_tests(relay_server_tests DISCOVERY_TIMEOUT 30 PROPERTIES ENVIRONMENT "LANG=C.UTF-8")
  # The program as it is run: serve, the control commands, a login, SIGTERM.
  add_test(NAME e2e_relay_server
    COMMAND ${CMAKE_SOURCE_DIR}/tests/e2e/relay_server.sh $<TARGET_FILE:qn718-relay>)
  set_tests_properties(e2e_relay_server PROPERTIES TIMEOUT 60)
endif()

if(QN718_BUILD_BENCH AND benchmark_FOUND)
  add_executable(qn718_relay_bench ${CMAKE_SOURCE_DIR}/bench/relay/relay_bench.cpp)
  target_link_libraries(qn718_relay_bench PRIVATE qn718_relay_server benchmark::benchmark
    benchmark::benchmark_main)
  target_compile_definitions(qn718_relay_bench PRIVATE
    QN718_RELAY_PROGRAM="$<TARGET_FILE:qn718-relay>")
  add_dependencies(qn718_relay_bench qn718-relay)
endif()

if(NOT QN718_SANITIZE AND NOT QN718_FUZZ)
  include(GNUInstallDirs)
  set(QN718_SYSTEMD_UNIT_DIR "lib/systemd/system" CACHE STRING
    "Folder of the systemd units, relative to the installation prefix")
  set(QN718_SYSUSERS_DIR "lib/sysusers.d" CACHE STRING
    "Folder of the sysusers.d files, relative to the installation prefix")
  install(TARGETS qn718-relay RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  target_link_options(qn718-relay PRIVATE -Wl,-z,relro -Wl,-z,now)
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/qn718-relay.service DESTINATION ${QN718_SYSTEMD_UNIT_DIR})
  install(FILES ${CMAKE_SOURCE_DIR}/packaging/qn718-relay.sysusers DESTINATION ${QN718_SYSUSERS_DIR}
    RENAME qn718-relay.conf)
  set(relay_man_page ${CMAKE_BINARY_DIR}/qn718-relay.1.gz)
  add_custom_command(OUTPUT ${relay_man_page}
    COMMAND sh -c "gzip -9n -c ${CMAKE_SOURCE_DIR}/packaging/qn718-relay.1 > ${relay_man_page}"
    DEPENDS ${CMAKE_SOURCE_DIR}/packaging/qn718-relay.1
    COMMENT "Compressing the relay's manual page"
    VERBATIM)
  add_custom_target(qn718_relay_docs ALL DEPENDS ${relay_man_page})
  install(FILES ${relay_man_page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endif()
