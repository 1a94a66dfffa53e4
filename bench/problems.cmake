# Benchmarks of the problem check and the question search on large-test.mdb.
if(NOT TARGET znproblemsui)
    return()
endif()
add_executable(problems_bench ${CMAKE_CURRENT_LIST_DIR}/problems_bench.cpp)
target_link_libraries(problems_bench PRIVATE znproblemsui Qt6::Widgets benchmark::benchmark)
target_compile_definitions(problems_bench PRIVATE ZN_FIXTURES_DIR="${ZN_BENCH_FIXTURES_DIR}")
