# tt_add_test(<name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# Builds one GoogleTest binary and registers each of its tests with CTest. Every test runs with the leak checker's
# suppressions for system libraries (tests/lsan-system.supp), which the programs it starts inherit.
if(TT_BUILD_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  include(GoogleTest)
endif()

set(TT_LSAN_SUPPRESSIONS "${CMAKE_SOURCE_DIR}/tests/lsan-system.supp")
set(TT_TEST_ENVIRONMENT "LSAN_OPTIONS=suppressions=${TT_LSAN_SUPPRESSIONS}")

function(tt_add_test name)
  if(NOT TT_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main GTest::gmock Threads::Threads)
  target_compile_definitions(${name} PRIVATE
    TT_SOURCE_DIR="${CMAKE_SOURCE_DIR}" TT_TEST_DATA_DIR="${CMAKE_SOURCE_DIR}/tests/data"
    TT_BINARY_DIR="${CMAKE_BINARY_DIR}" TT_LSAN_SUPPRESSIONS="${TT_LSAN_SUPPRESSIONS}")
  gtest_discover_tests(${name} DISCOVERY_MODE PRE_TEST DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "${TT_TEST_ENVIRONMENT}" LABELS "${ARG_LABELS}")
endfunction()
