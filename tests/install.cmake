# The installed package works for an outside project (CMake and pkg-config).
# Skipped in sanitizer builds: the consumer would need the sanitizer runtime.
if(NOT OXL_SANITIZE)
  add_test(NAME InstalledPackage.BuildsAndLinksOutsideProject
    COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/install_check.sh ${CMAKE_BINARY_DIR} ${CMAKE_SOURCE_DIR}
            ${CMAKE_CURRENT_BINARY_DIR}/install-check)
  set_tests_properties(InstalledPackage.BuildsAndLinksOutsideProject PROPERTIES TIMEOUT 240)
endif()
