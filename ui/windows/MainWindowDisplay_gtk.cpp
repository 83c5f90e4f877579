// The display of the installer's windows on Linux: GTK on the X or Wayland display the
// session names.
#include "ui/windows/MainWindowStartup.h"

#include "toolkit/GtkHost.h"

namespace MainWindowStartup {

bool OpenDisplay(int* argc, char*** argv) { return Toolkit::InitGtkHost(argc, argv); }

}  // namespace MainWindowStartup
