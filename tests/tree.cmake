# Tests of the topic tree (tree/): the builds, the selection handler and its gates, on small
# databases made from the empty fixture. Engine-only builds (no zntree) skip them.
if(NOT TARGET zntree)
    return()
endif()
add_executable(tree_test
    ${CMAKE_CURRENT_LIST_DIR}/preview_qt_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tree_build_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/tree_select_test.cpp
)
target_link_libraries(tree_test PRIVATE zntree zn_testsupport Qt6::Widgets GTest::gtest)
add_test(NAME tree_test COMMAND tree_test)
set_tests_properties(tree_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS gui)
