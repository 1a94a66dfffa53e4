# Benchmarks of the file formats (formats/): a 4,200-question Moodle XML file with 600 pictures
# read and checked, its pictures named and written, the writers, and its import into a bank.
if(NOT TARGET znformats)
    return()
endif()
add_executable(formats_bench ${CMAKE_CURRENT_LIST_DIR}/formats_bench.cpp)
# znimport: the import into a bank (BM_AddMoodleXmlToBank); it is built wherever znformats is.
target_link_libraries(formats_bench PRIVATE znformats znimport benchmark::benchmark)
