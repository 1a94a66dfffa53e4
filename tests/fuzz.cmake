# The fuzz targets' regression corpus (fuzz/corpus/<target>/) and the shared inputs that once
# broke a parser (../shared/fixtures/fuzz), replayed through the targets' entry functions.
add_executable(fuzz_corpus_test ${CMAKE_CURRENT_LIST_DIR}/fuzz_corpus_test.cpp)
target_link_libraries(fuzz_corpus_test PRIVATE znfuzz GTest::gtest_main)
add_test(NAME fuzz_corpus_test COMMAND fuzz_corpus_test)
set_tests_properties(fuzz_corpus_test PROPERTIES LABELS fuzz)
