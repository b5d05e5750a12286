# One test program per module: qel_add_test(<name> SOURCES a_test.cc ... LIBS lib ...)
# registers it with CTest under <name>. Tests run from the build directory with
# QEL_BUILD_DIR and QEL_SOURCE_DIR in the environment so that they can find
# programs and data without guessing.
function(qel_add_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main Threads::Threads)
  add_test(NAME ${name} COMMAND ${name} --gtest_brief=1)
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES
    TIMEOUT ${ARG_TIMEOUT}
    ENVIRONMENT "QEL_BUILD_DIR=${CMAKE_BINARY_DIR};QEL_SOURCE_DIR=${CMAKE_SOURCE_DIR}")
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
endfunction()

# qel_add_bench(<name> SOURCES ... LIBS ...): a Google Benchmark program; not run by CTest.
function(qel_add_bench name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark Threads::Threads)
endfunction()
