# Cross build for 64-bit Windows with mingw-w64 (posix thread model: std::thread and std::mutex
# need it with GCC 12). Test programs run through wine, in the lane ctest gives each test
# (tools/windows/wine-lane.sh; tools/windows/test.sh makes the lanes).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(CMAKE_C_COMPILER x86_64-w64-mingw32-gcc-posix)
set(CMAKE_CXX_COMPILER x86_64-w64-mingw32-g++-posix)
set(CMAKE_RC_COMPILER x86_64-w64-mingw32-windres)

set(CMAKE_FIND_ROOT_PATH ${QV_WINDOWS_DEPS} /usr/x86_64-w64-mingw32)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(QV_WINE NAMES wine wine64 REQUIRED)
get_filename_component(QV_WINE_LANE ${CMAKE_CURRENT_LIST_DIR}/../tools/windows/wine-lane.sh ABSOLUTE)
set(CMAKE_CROSSCOMPILING_EMULATOR ${QV_WINE_LANE})
