#pragma once
// The window part of the installer's start-up: the display, the skin and start language, the
// main window run modally. Called by the entry point on the main thread.
#include <memory>
#include <string>

class CMainWnd;

namespace MainWindowStartup {

// Puts the toolkit on the display (GTK on Linux, the Win32 host on Windows, where the
// arguments are not read). False when there is none (nothing else is touched).
bool OpenDisplay(int* argc, char*** argv);

// The skin package, the start language "en-US" (LanguageId 1033) and the window icon.
void PrepareSkin();

// Creates the main window titled `title`, centred, and runs it until it closes. The window
// object is returned so that the caller destroys it (and with it the orchestrator) at the
// point of shutdown it chooses. A layout that cannot be built ends the process with code 1.
std::unique_ptr<CMainWnd> RunMainWindow(const std::wstring& title);

}  // namespace MainWindowStartup
