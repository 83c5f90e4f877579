#pragma once
// Puts skinned windows on screen with the Win32 API. Call once on the main thread before
// creating windows; it makes the process per-monitor DPI aware and installs the Win32
// platform (windows, the message-queue scheduler, the load-failure message box). Returns false
// when the scheduler's message window cannot be made: nothing could then run.
namespace Toolkit {

bool InitWin32Host();

}  // namespace Toolkit
