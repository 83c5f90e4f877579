#pragma once
// What the main window asks of the desktop: the folder browser, bringing a window to the
// front, and opening a program or a page.
//
// Thread: the user-interface thread.
#include <string>

namespace Toolkit {
class CWindowBase;
}

namespace DesktopServices {

// The desktop's folder chooser, transient for `owner`, titled `title`, starting at `start`.
// True with `chosen` set when a local folder was chosen; false when cancelled or not local.
bool ChooseFolder(Toolkit::CWindowBase& owner, const std::wstring& title, const std::wstring& start,
                  std::wstring& chosen);

// Brings the window to the front with the current event time.
void Present(Toolkit::CWindowBase& window);

// Starts an executable file directly, detached in its own session, in `workingFolder` (or the
// current folder when empty), without arguments. False when it cannot be started.
bool StartProgram(const std::wstring& executable, const std::wstring& workingFolder);

// Opens a URL (or a document) with the desktop's default handler. False on failure.
bool OpenUri(const std::wstring& uri);
// The same for the page shown after an install, asked to open maximised where the desktop lets
// the caller choose (Windows); elsewhere the window state is the handler's choice.
bool OpenStartPage(const std::wstring& uri);

// Dispatches pending events until `ms` have passed; a quit request met on the way is kept.
void PumpFor(unsigned ms);

}  // namespace DesktopServices
