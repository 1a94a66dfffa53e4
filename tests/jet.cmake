# Tests of the storage engine.
zn_engine_test(jet_reader_test ${CMAKE_CURRENT_LIST_DIR}/jet/reader_test.cpp)
zn_engine_test(jet_textkey_test ${CMAKE_CURRENT_LIST_DIR}/jet/textkey_test.cpp)
zn_engine_test(jet_corrupt_test ${CMAKE_CURRENT_LIST_DIR}/jet/corrupt_test.cpp)
zn_engine_test(jet_writer_random_test ${CMAKE_CURRENT_LIST_DIR}/jet/writer_random_test.cpp)
zn_engine_test(jet_writer_test ${CMAKE_CURRENT_LIST_DIR}/jet/writer_test.cpp)
zn_engine_test(jet_crash_test ${CMAKE_CURRENT_LIST_DIR}/jet/crash_test.cpp)
zn_engine_test(jet_create_test ${CMAKE_CURRENT_LIST_DIR}/jet/create_test.cpp)
zn_engine_test(jet_compact_test ${CMAKE_CURRENT_LIST_DIR}/jet/compact_test.cpp)
