# Whole-process benchmark of the import's steps (bench/commands.sh runs it beside znbank).
if(NOT TARGET znbulk)
    return()
endif()
add_executable(bulk_import ${CMAKE_CURRENT_LIST_DIR}/bulk_import.cpp)
target_link_libraries(bulk_import PRIVATE znbulk)
