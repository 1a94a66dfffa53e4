# Cross-compiles for 64-bit Windows with Debian's mingw-w64 toolchain (posix threads, so that
# std::thread and std::mutex work): used by the engine's Windows tests and by the Windows build
# of Qt and of the editor (tools/build-windows.sh).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(ZN_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${ZN_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${ZN_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${ZN_MINGW_TRIPLET}-windres)
set(CMAKE_AR ${ZN_MINGW_TRIPLET}-gcc-ar-posix CACHE FILEPATH "")
set(CMAKE_RANLIB ${ZN_MINGW_TRIPLET}-gcc-ranlib-posix CACHE FILEPATH "")

# Libraries and headers come from the toolchain's own root (and from the roots a caller adds,
# such as a cross-built Qt); programs run on the build machine.
list(APPEND CMAKE_FIND_ROOT_PATH /usr/${ZN_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
