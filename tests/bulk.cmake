# Tests of the bulk commands (bulk/): the exchange file on its own, the commands over fixture
# copies and banks of our own (round trips), and the commands driven through the main window.
if(NOT TARGET znbulk)
    return()
endif()
zn_gui_test(bulk_exchange_test
    SOURCES ${CMAKE_CURRENT_LIST_DIR}/bulk_exchange_test.cpp
    LIBS znbulk GTest::gtest_main)
if(NOT TARGET znbulkui)
    return()
endif()
zn_gui_test(bulk_test
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/preview_qt_main.cpp
        ${CMAKE_CURRENT_LIST_DIR}/bulk_commands_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/bulk_roundtrip_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/bulk_znbank_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/bulk_crash_test.cpp
    LIBS znprogram zn_testsupport Qt6::Widgets GTest::gtest)
target_compile_definitions(bulk_test PRIVATE ZN_ZNBANK="$<TARGET_FILE:znbank>")
add_dependencies(bulk_test znbank jettool)
