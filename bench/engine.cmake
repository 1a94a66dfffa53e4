# Whole-process benchmarks of the engine; bench/engine.sh runs them.
add_executable(jet_readall ${CMAKE_CURRENT_LIST_DIR}/jet_readall.cpp)
target_link_libraries(jet_readall PRIVATE jet)
add_executable(jet_questions ${CMAKE_CURRENT_LIST_DIR}/jet_questions.cpp)
target_link_libraries(jet_questions PRIVATE jet)
add_executable(jet_bank ${CMAKE_CURRENT_LIST_DIR}/jet_bank.cpp)
target_link_libraries(jet_bank PRIVATE jet testbank)
# Google Benchmark: one edit inside an open transaction, and what a commit costs.
add_executable(jet_write_bench ${CMAKE_CURRENT_LIST_DIR}/jet_write_bench.cpp)
target_link_libraries(jet_write_bench PRIVATE jet benchmark::benchmark)
target_compile_definitions(jet_write_bench PRIVATE ZN_FIXTURES_DIR="${ZN_BENCH_FIXTURES_DIR}")
add_executable(jet_commit_bench ${CMAKE_CURRENT_LIST_DIR}/jet_commit_bench.cpp)
target_link_libraries(jet_commit_bench PRIVATE jet benchmark::benchmark)
target_compile_definitions(jet_commit_bench PRIVATE ZN_FIXTURES_DIR="${ZN_BENCH_FIXTURES_DIR}")
