# Tests of the printout (print/): the paper's values and HTML, PDFs read back with poppler's
# pdftotext and pdfimages, the dialog and the print area offscreen, and "znbank pdf".
if(NOT TARGET znprintui)
    return()
endif()
zn_gui_test(print_test
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/preview_qt_main.cpp
        ${CMAKE_CURRENT_LIST_DIR}/print_paper_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/print_pdf_test.cpp
        ${CMAKE_CURRENT_LIST_DIR}/print_gui_test.cpp
    LIBS znprintui zn_testsupport Qt6::Widgets GTest::gtest)
target_compile_definitions(print_test PRIVATE ZN_ZNBANK="$<TARGET_FILE:znbank>")
add_dependencies(print_test znbank)
