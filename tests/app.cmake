# Tests of the application frame (app/): main window, secondary windows, modal seam, guard, and
# the program brought up in-process on copies of the shared test databases.
# Qt tests: skipped by engine-only builds, which have no znapp.
if(NOT TARGET znapp)
    return()
endif()
add_executable(app_test
    ${CMAKE_CURRENT_LIST_DIR}/app_test_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/app_frame_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/app_guard_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/app_startup_test.cpp
)
target_link_libraries(app_test PRIVATE znprogram Qt6::Test)
target_compile_definitions(app_test PRIVATE ZN_FIXTURES_DIR="${ZN_FIXTURES_DIR}")
add_test(NAME app_test COMMAND app_test)
set_tests_properties(app_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS gui)
