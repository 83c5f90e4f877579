#pragma once
// The one way Windows-only sources include the Windows API. <windows.h> defines many common
// names as macros (GetProfileString, SendMessage, PostMessage, WM_USER, ...) that our own
// headers declare as functions or constants; a source that saw the macros would name different
// symbols than one that did not, and fail at link time. Include this header after the project's
// own headers; it takes those names back.
#ifndef UNICODE
#define UNICODE
#endif
#ifndef _UNICODE
#define _UNICODE
#endif
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#undef GetProfileString
#undef GetProfileInt
#undef WriteProfileString
#undef SendMessage
#undef PostMessage
#undef GetMessage
#undef DispatchMessage
#undef CreateWindow
#undef LoadImage
#undef DrawText
#undef GetObject
#undef CreateFont
#undef Yield
#undef GetTempPath
#undef GetUserName
#undef CreateDirectory
#undef CopyFile
#undef MoveFile
#undef DeleteFile
#undef RemoveDirectory
#undef FindResource
#undef LoadString
#undef GetCommandLine
#undef GetModuleFileName
#undef ERROR
