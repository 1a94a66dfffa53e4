# Tests of the bulk commands (bulk/): the exchange file on its own, the commands over fixture
# copies and banks of our own (round trips, znbank), and the commands driven through the main
# window. The first two need no widgets, so the sanitizer build runs them too.
if(NOT TARGET znbulk)
    return()
endif()
add_executable(bulk_exchange_test ${CMAKE_CURRENT_LIST_DIR}/bulk_exchange_test.cpp)
target_link_libraries(bulk_exchange_test PRIVATE znbulk GTest::gtest_main)
add_test(NAME bulk_exchange_test COMMAND bulk_exchange_test)
add_executable(bulk_core_test
    ${CMAKE_CURRENT_LIST_DIR}/bulk_roundtrip_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/bulk_znbank_test.cpp)
target_link_libraries(bulk_core_test PRIVATE znbulk zn_testsupport GTest::gtest_main)
# The helpers shared with the window tests, without the program (tests/editor_testing.h).
target_compile_definitions(bulk_core_test PRIVATE ZN_TEST_WITHOUT_PROGRAM
    ZN_ZNBANK="$<TARGET_FILE:znbank>")
add_dependencies(bulk_core_test znbank jettool)
add_test(NAME bulk_core_test COMMAND bulk_core_test)
set_tests_properties(bulk_exchange_test bulk_core_test PROPERTIES LABELS bulk)
if(NOT TARGET znbulkui)
    return()
endif()
zn_gui_test(bulk_test
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/preview_qt_main.cpp
        ${CMAKE_CURRENT_LIST_DIR}/bulk_commands_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/bulk_crash_test.cpp
    LIBS znprogram zn_testsupport Qt6::Widgets GTest::gtest)
target_compile_definitions(bulk_test PRIVATE ZN_ZNBANK="$<TARGET_FILE:znbank>")
add_dependencies(bulk_test znbank jettool)
