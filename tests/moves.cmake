# Tests of moving questions between topics and within one (tree/moves, tree/movesarea): the
# commands over the data module alone and the question menu in the running program.
if(NOT TARGET znmovesui)
    return()
endif()
zn_gui_test(moves_test
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/preview_qt_main.cpp
        ${CMAKE_CURRENT_LIST_DIR}/moves_test.cpp
    LIBS znprogram znimport zn_testsupport Qt6::Widgets GTest::gtest)
add_dependencies(moves_test jettool)
