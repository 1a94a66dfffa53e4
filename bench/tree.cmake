# Benchmarks of the topic tree: building it from large-test.mdb and selecting its largest topic.
if(NOT TARGET zntree)
    return()
endif()
add_executable(tree_bench ${CMAKE_CURRENT_LIST_DIR}/tree_bench.cpp)
target_link_libraries(tree_bench PRIVATE zntree Qt6::Widgets benchmark::benchmark)
target_compile_definitions(tree_bench PRIVATE
    ZN_FIXTURES_DIR="${ZN_BENCH_FIXTURES_DIR}"
    ZN_DEMO_DATA_DIR="${PROJECT_SOURCE_DIR}/app/demo/")

# Whole-process: the program's start-up in a folder with test.mdb (bench/commands.sh).
if(TARGET znprogram)
    add_executable(app_startup ${CMAKE_CURRENT_LIST_DIR}/app_startup.cpp)
    target_link_libraries(app_startup PRIVATE znprogram Qt6::Test)
endif()
