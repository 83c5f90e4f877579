# What the two Windows toolchain files share (cmake/mingw-w64-x86_64.cmake and
# cmake/mingw-w64-i686.cmake set CMAKE_SYSTEM_PROCESSOR and include this): mingw-w64 with the
# posix thread model (std::thread and std::mutex need it with GCC 12), Debian's cross compilers
# named <processor>-w64-mingw32-*-posix. Test programs run through wine, in the lane ctest gives
# each test (tools/windows/wine-lane.sh; tools/windows/test.sh makes the lanes).
set(CMAKE_SYSTEM_NAME Windows)
set(qv_triplet ${CMAKE_SYSTEM_PROCESSOR}-w64-mingw32)

set(CMAKE_C_COMPILER ${qv_triplet}-gcc-posix)
set(CMAKE_CXX_COMPILER ${qv_triplet}-g++-posix)
set(CMAKE_RC_COMPILER ${qv_triplet}-windres)

set(CMAKE_FIND_ROOT_PATH ${QV_WINDOWS_DEPS} /usr/${qv_triplet})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(QV_WINE NAMES wine wine64 REQUIRED)
get_filename_component(QV_WINE_LANE ${CMAKE_CURRENT_LIST_DIR}/../tools/windows/wine-lane.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QV_WINE_LANE})
