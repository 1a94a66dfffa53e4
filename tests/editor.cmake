# Tests of the editing commands (editor/): the topic and question commands driven through the
# main window's actions and dialogs, with the database looked at afterwards.
if(NOT TARGET zneditorui)
    return()
endif()
zn_gui_test(editor_test
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/preview_qt_main.cpp
        ${CMAKE_CURRENT_LIST_DIR}/editor_readonly_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/editor_topics_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/editor_questions_test.cpp
    LIBS znprogram zn_testsupport Qt6::Widgets Qt6::Test GTest::gtest)
