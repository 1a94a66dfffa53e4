# Tests of undo and redo, the undo history and the backups: every command undone and redone on
# fixture copies, killed processes, and the main window's undo commands.
if(NOT TARGET znundoui)
    return()
endif()
zn_gui_test(undo_test
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/preview_qt_main.cpp
        ${CMAKE_CURRENT_LIST_DIR}/undo_commands_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/undo_gui_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/app_commands_test.cpp
    LIBS znprogram zn_testsupport Qt6::Widgets GTest::gtest)
add_dependencies(undo_test jettool)
