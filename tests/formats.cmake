# Tests of the file formats (formats/): reading, writing, round trips, picture names and
# detection. Pure code over QtCore, so the sanitizer build runs them too.
if(NOT TARGET znformats)
    return()
endif()
add_executable(formats_test
    ${CMAKE_CURRENT_LIST_DIR}/formats_aiken_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formats_csv_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formats_gift_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formats_moodle_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formats_pictures_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formats_roundtrip_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/formats_text_test.cpp
)
target_link_libraries(formats_test PRIVATE znformats GTest::gtest_main)
add_test(NAME formats_test COMMAND formats_test)
set_tests_properties(formats_test PROPERTIES LABELS formats)
