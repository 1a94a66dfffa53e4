# Tests of the spell checking (spell/): the word splitter, the checker on small dictionaries of
# our own and on the system's Russian one, the underlining and the context menu of a box, and
# the unknown words of a bank; and the same in the running program. Builds without the windows
# (no znspellui) skip them.
if(NOT TARGET znspellui)
    return()
endif()
zn_gui_test(spell_test
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/preview_qt_main.cpp
        ${CMAKE_CURRENT_LIST_DIR}/spell_test.cpp
    LIBS znspellui zn_testsupport Qt6::Widgets Qt6::Test GTest::gtest)

# Spell checking in the running program: the question editor and the problem list.
zn_gui_test(spell_editor_test
    SOURCES
        ${CMAKE_CURRENT_LIST_DIR}/preview_qt_main.cpp
        ${CMAKE_CURRENT_LIST_DIR}/spell_editor_test.cpp
    LIBS znprogram zn_testsupport Qt6::Widgets Qt6::Test GTest::gtest)

