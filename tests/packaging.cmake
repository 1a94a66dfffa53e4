# The desktop integration and the Debian package: AppStream validation, cpack -G DEB and the
# package's contents (tools/check-package.sh). Only builds with the program have them.
if(NOT TARGET znatokar)
    return()
endif()
add_test(NAME packaging COMMAND ${PROJECT_SOURCE_DIR}/tools/check-package.sh ${CMAKE_BINARY_DIR})
set_tests_properties(packaging PROPERTIES LABELS packaging)
