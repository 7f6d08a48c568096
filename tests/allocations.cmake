# Allocation counting: tests/allocations/*.cpp -> test_allocations. It
# replaces the global operator new, so it is a program of its own, apart from
# the other tests.
file(GLOB allocation_test_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/allocations/*.cpp)
add_executable(test_allocations ${allocation_test_srcs} ${CMAKE_CURRENT_SOURCE_DIR}/SanitizerOptions.cpp)
target_link_libraries(test_allocations PRIVATE oxl_test_support GTest::gtest_main)
gtest_discover_tests(test_allocations DISCOVERY_TIMEOUT 60
  PROPERTIES ENVIRONMENT "OXL_TEST_TMP=${CMAKE_CURRENT_BINARY_DIR}/tmp")
