# Benchmarks of the spell checking: the dictionary's loading, the unknown-words check of
# large-test.mdb and a keystroke in a 2,000-character box.
if(NOT TARGET znspellui OR NOT TARGET znproblems)
    return()
endif()
add_executable(spell_bench ${CMAKE_CURRENT_LIST_DIR}/spell_bench.cpp)
target_link_libraries(spell_bench PRIVATE znspellui znproblems Qt6::Widgets Qt6::Test
    benchmark::benchmark)
target_compile_definitions(spell_bench PRIVATE ZN_FIXTURES_DIR="${ZN_BENCH_FIXTURES_DIR}")
