# Checks of the command-line tools: tests/tools/*.cpp -> test_tools, which
# runs the built oxlprobe as a user would.
if(TARGET oxlprobe)
  find_package(nlohmann_json 3.2 REQUIRED)
  file(GLOB tool_test_srcs CONFIGURE_DEPENDS ${CMAKE_CURRENT_SOURCE_DIR}/tools/*.cpp)
  add_executable(test_tools ${tool_test_srcs} ${CMAKE_CURRENT_SOURCE_DIR}/SanitizerOptions.cpp)
  target_link_libraries(test_tools PRIVATE oxl_test_support GTest::gtest_main nlohmann_json::nlohmann_json)
  target_compile_definitions(test_tools PRIVATE
    OXLPROBE_PATH="$<TARGET_FILE:oxlprobe>" OXL_SOURCE_ROOT="${CMAKE_SOURCE_DIR}")
  add_dependencies(test_tools oxlprobe)
  gtest_discover_tests(test_tools DISCOVERY_TIMEOUT 60
    PROPERTIES ENVIRONMENT "OXL_TEST_TMP=${CMAKE_CURRENT_BINARY_DIR}/tmp")
endif()
