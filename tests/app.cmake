# Tests of the main window and its kit (frame/: secondary windows, modal seam, guard) and of the
# program assembled (app/), brought up in-process on copies of the shared test databases.
# Qt tests: skipped by engine-only builds, which have no znframe.
if(NOT TARGET znframe)
    return()
endif()
zn_gui_test(app_test
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/app_test_main.cpp
        ${CMAKE_CURRENT_LIST_DIR}/app_frame_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/app_guard_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/app_startup_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/app_teacher_test.cpp
    LIBS znprogram Qt6::Test)
target_compile_definitions(app_test PRIVATE ZN_FIXTURES_DIR="${ZN_FIXTURES_DIR}")
