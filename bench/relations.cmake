# What enforcing relationships costs a write.
add_executable(jet_relations_bench ${CMAKE_CURRENT_LIST_DIR}/jet_relations_bench.cpp)
target_link_libraries(jet_relations_bench PRIVATE jet benchmark::benchmark)
