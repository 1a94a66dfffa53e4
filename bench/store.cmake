# Benchmarks of the data module: the chained re-queries of a tree selection.
if(NOT TARGET znstore)
    return()
endif()
add_executable(store_bench ${CMAKE_CURRENT_LIST_DIR}/store_requery_bench.cpp)
target_link_libraries(store_bench PRIVATE znstore benchmark::benchmark)
target_compile_definitions(store_bench PRIVATE ZN_FIXTURES_DIR="${ZN_BENCH_FIXTURES_DIR}")

# Whole-process: one command of many rows, a transaction per post against one write scope.
add_executable(store_rekey ${CMAKE_CURRENT_LIST_DIR}/store_rekey.cpp)
target_link_libraries(store_rekey PRIVATE znstore)
