#pragma once
// Puts skinned windows on screen with the Win32 API. Call once on the main thread before
// creating windows; it makes the process per-monitor DPI aware and installs the Win32
// platform (windows, the message-queue scheduler, the load-failure message box). Returns false
// when the scheduler's message window cannot be made: nothing could then run.
namespace Toolkit {

bool InitWin32Host();

// Whether the desktop blends windows with their per-pixel alpha (the window manager of every
// Windows since 8 does; wine on a plain X server does not). Windows made while it does not get
// no shadow margin, whose half-transparent pixels would show as a dark frame, and are outlined
// instead so that a box still reads as a box over the window behind it. Asked of the system
// once; SetDesktopComposes overrides the answer for windows made afterwards (tests of the
// shadow on a display that cannot show it).
bool DesktopComposes();
void SetDesktopComposes(bool composes);

}  // namespace Toolkit
