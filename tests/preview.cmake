# Tests of the question page (preview/): VoptoStrUniv against the page assembled from its pieces,
# and what QTextBrowser draws of a page. Engine-only builds (no znpreview) skip them.
if(NOT TARGET znpreview)
    return()
endif()
zn_gui_test(preview_test
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/preview_qt_main.cpp
        ${CMAKE_CURRENT_LIST_DIR}/preview_datafiles_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/preview_page_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/preview_view_test.cpp
    LIBS znpreview zn_testsupport Qt6::Widgets GTest::gtest)

# Developer tool: PNG renders of a question page and a topic summary (not run as a test).
add_executable(preview_shots ${CMAKE_CURRENT_LIST_DIR}/preview_shots.cpp)
target_link_libraries(preview_shots PRIVATE zntree zn_testsupport Qt6::Widgets GTest::gtest)
target_compile_definitions(preview_shots PRIVATE ZN_DEMO_DATA_DIR="${PROJECT_SOURCE_DIR}/app/demo/")
