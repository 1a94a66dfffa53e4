# Tests of the data module (store/): connection strings, datasets, the master-detail chain.
# They need Qt, so engine-only builds (no znstore) skip them.
if(NOT TARGET znstore)
    return()
endif()
add_executable(store_test
    ${CMAKE_CURRENT_LIST_DIR}/store_connection_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/store_dataset_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/store_datmod_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/store_readonly_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/store_write_test.cpp
)
target_link_libraries(store_test PRIVATE znstore zn_testsupport GTest::gtest_main)
add_test(NAME store_test COMMAND store_test)
set_tests_properties(store_test PROPERTIES LABELS store)
