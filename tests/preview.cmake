# Tests of the question page (preview/): VoptoStrUniv against the page assembled from its pieces,
# and what QTextBrowser draws of a page. Engine-only builds (no znpreview) skip them.
if(NOT TARGET znpreview)
    return()
endif()
add_executable(preview_test
    ${CMAKE_CURRENT_LIST_DIR}/preview_qt_main.cpp
    ${CMAKE_CURRENT_LIST_DIR}/preview_page_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/preview_view_test.cpp
)
target_link_libraries(preview_test PRIVATE znpreview zn_testsupport Qt6::Widgets GTest::gtest)
add_test(NAME preview_test COMMAND preview_test)
set_tests_properties(preview_test PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen" LABELS gui)

# Developer tool: PNG renders of a question page and a topic summary (not run as a test).
add_executable(preview_shots ${CMAKE_CURRENT_LIST_DIR}/preview_shots.cpp)
target_link_libraries(preview_shots PRIVATE zntree zn_testsupport Qt6::Widgets GTest::gtest)
target_compile_definitions(preview_shots PRIVATE ZN_DEMO_DATA_DIR="${PROJECT_SOURCE_DIR}/app/demo/")
