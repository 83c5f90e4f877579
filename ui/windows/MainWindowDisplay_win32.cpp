// The display of the installer's windows on Windows: the Win32 host. The command line is not
// the host's business there (GTK reads its own options from it; Win32 has none).
#include "ui/windows/MainWindowStartup.h"

#include "toolkit/Win32Host.h"

namespace MainWindowStartup {

bool OpenDisplay(int* /*argc*/, char*** /*argv*/) { return Toolkit::InitWin32Host(); }

}  // namespace MainWindowStartup
