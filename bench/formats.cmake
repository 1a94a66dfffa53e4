# Benchmarks of the file formats (formats/): a 4,200-question Moodle XML file with 600 pictures
# read and checked, its pictures named and written, and the writers.
if(NOT TARGET znformats)
    return()
endif()
add_executable(formats_bench ${CMAKE_CURRENT_LIST_DIR}/formats_bench.cpp)
target_link_libraries(formats_bench PRIVATE znformats benchmark::benchmark)
