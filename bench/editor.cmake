# Benchmarks of the question commands on large-test.mdb: a save and a deletion with the
# renumbering of its topic, each the whole command including the tree rebuild.
if(NOT TARGET zneditor OR NOT TARGET zntree)
    return()
endif()
add_executable(editor_bench ${CMAKE_CURRENT_LIST_DIR}/editor_bench.cpp)
target_link_libraries(editor_bench PRIVATE zneditor znbulk zntree Qt6::Widgets benchmark::benchmark)
target_compile_definitions(editor_bench PRIVATE ZN_FIXTURES_DIR="${ZN_BENCH_FIXTURES_DIR}")
