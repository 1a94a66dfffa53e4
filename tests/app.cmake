# Tests of the application frame (app/): main window, secondary windows, modal seam, guard.
# Qt tests: skipped by engine-only builds, which have no znapp.
if(NOT TARGET znapp)
    return()
endif()
add_executable(app_test
    ${CMAKE_CURRENT_LIST_DIR}/app_test_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/app_frame_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/app_guard_test.cpp
)
target_link_libraries(app_test PRIVATE znapp Qt6::Test)
add_test(NAME app_test COMMAND app_test)
set_tests_properties(app_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS gui)
