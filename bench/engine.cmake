# Whole-process benchmarks of the engine; bench/engine.sh runs them.
add_executable(jet_readall ${CMAKE_CURRENT_LIST_DIR}/jet_readall.cpp)
target_link_libraries(jet_readall PRIVATE jet)
add_executable(jet_questions ${CMAKE_CURRENT_LIST_DIR}/jet_questions.cpp)
target_link_libraries(jet_questions PRIVATE jet)
add_executable(jet_bank ${CMAKE_CURRENT_LIST_DIR}/jet_bank.cpp)
target_link_libraries(jet_bank PRIVATE jet testbank)
