# Cross build for 32-bit Windows (x86) with mingw-w64. Debian's i686 compiler unwinds exceptions
# with DWARF tables: an exception cannot cross a frame of Windows' own (a window procedure called
# from DispatchMessage, a COM or thread callback), so none may leave such a callback.
set(CMAKE_SYSTEM_PROCESSOR i686)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-w64.cmake)
# A 32-bit program on 64-bit Windows gets the whole 4 GiB of its address space, instead of 2 GiB,
# only if its header says it handles addresses above 2 GiB (nothing here keeps pointers in signed
# integers).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-Wl,--large-address-aware")
# Floating point in SSE2 registers, as on x86-64 (and in every 32-bit MSVC build since 2012): the
# x87 unit's 80-bit intermediates round differently (0.5 * 0.7 * 100 truncates to 34 there), so
# the same sources would compute other results on the two builds. Windows 8 and later require
# SSE2, and only processors older than the Pentium 4 and the Athlon 64 lack it.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
