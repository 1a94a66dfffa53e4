# Tests of the topic tree (tree/): the builds, the selection handler and its gates, on small
# databases made from the empty fixture. Engine-only builds (no zntree) skip them.
if(NOT TARGET zntree)
    return()
endif()
zn_gui_test(tree_test
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/preview_qt_main.cpp
        ${CMAKE_CURRENT_LIST_DIR}/tree_build_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/tree_select_test.cpp
    LIBS zntree zn_testsupport Qt6::Widgets GTest::gtest)
