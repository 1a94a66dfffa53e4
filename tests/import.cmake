# Tests of importing other formats and banks into a bank (bulk/addimport, bulk/importformats):
# the commands over the data module alone, "znbank import/export" with other formats, and the
# import and export dialogs in the running program.
if(NOT TARGET znimport OR NOT TARGET znbulkui)
    return()
endif()
zn_gui_test(import_test
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/preview_qt_main.cpp
        ${CMAKE_CURRENT_LIST_DIR}/import_add_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/import_znbank_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/import_gui_test.cpp
    LIBS znimport znprogram znproblems zn_testsupport Qt6::Widgets GTest::gtest)
target_compile_definitions(import_test PRIVATE ZN_ZNBANK="$<TARGET_FILE:znbank>")
add_dependencies(import_test znbank jettool)
