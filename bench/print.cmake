# Benchmarks of the printout on large-test.mdb: the whole bank with 600 pictures to PDF, and a
# 30-question variant with its key (bench/print.sh measures the same as whole znbank runs).
if(NOT TARGET znprint)
    return()
endif()
add_executable(print_bench ${CMAKE_CURRENT_LIST_DIR}/print_bench.cpp)
target_link_libraries(print_bench PRIVATE znprint Qt6::Gui benchmark::benchmark)
target_compile_definitions(print_bench PRIVATE ZN_FIXTURES_DIR="${ZN_BENCH_FIXTURES_DIR}")
