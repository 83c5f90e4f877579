# The toolkit's Win32 host (Windows builds; included from this folder's CMakeLists.txt): puts
# skinned windows on screen as layered top-level windows, runs timers and posted work on the
# message queue, gives controls their pop-up lists and native edit fields, and shows them to
# screen readers through UI Automation. The Windows
# twin of the GTK host in qv_toolkit, under the same name for the libraries above it.
qv_add_library(qv_toolkit_win32
  SOURCES
    Win32Accessible_win32.cpp
    Win32AccessibleApi_win32.cpp
    Win32AccessibleElement_win32.cpp
    Win32AccessibleRoot_win32.cpp
    Win32LayeredBitmap_win32.cpp
    Win32Platform_win32.cpp
    Win32PopupList_win32.cpp
    Win32Scheduler_win32.cpp
    Win32TextFields_win32.cpp
    Win32WindowHost_win32.cpp
  LIBS qv_toolkit_core
  WIN32_LIBS user32 gdi32 comctl32 ole32 oleaut32)
if(NOT TARGET qv_toolkit)
  add_library(qv_toolkit ALIAS qv_toolkit_win32)
endif()
