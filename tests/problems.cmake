# Tests of the problem check, its repairs and the search (problems/): the pure code on our own
# problem bank and the shared fixtures, and "znbank check" (no widgets: the sanitizer build runs
# them too); and the panel and the search box in the running program.
if(NOT TARGET znproblems)
    return()
endif()
add_executable(problems_check_test ${CMAKE_CURRENT_LIST_DIR}/problems_check_test.cpp)
target_link_libraries(problems_check_test PRIVATE znproblems zn_testsupport GTest::gtest_main)
target_compile_definitions(problems_check_test PRIVATE ZN_ZNBANK="$<TARGET_FILE:znbank>")
add_dependencies(problems_check_test znbank jettool)
add_test(NAME problems_check_test COMMAND problems_check_test)
set_tests_properties(problems_check_test PROPERTIES LABELS problems)
if(NOT TARGET znproblemsui)
    return()
endif()
zn_gui_test(problems_test
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/preview_qt_main.cpp
        ${CMAKE_CURRENT_LIST_DIR}/problems_gui_test.cpp
    LIBS znprogram znproblemsui zn_testsupport Qt6::Widgets Qt6::Test GTest::gtest)
# A screen wider than the window, so that the panel can widen it (the offscreen default is
# 800 × 600).
set_tests_properties(problems_test PROPERTIES ENVIRONMENT
    "QT_QPA_PLATFORM=offscreen:configfile=${CMAKE_CURRENT_LIST_DIR}/support/wide-screen.json")
