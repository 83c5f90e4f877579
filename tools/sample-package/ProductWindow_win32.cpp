// The Windows product's window (CompressorWindow) inside a single-threaded COM apartment, which
// the common open dialog needs.
#include "tools/sample-package/ProductWindow.h"

#include "tools/sample-package/CompressorWindow_win32.h"
#include "tools/sample-package/SampleSystem.h"
#include "utils/WindowsApi_win32.h"
#include "utils/WinResource_win32.h"
#include <commctrl.h>
#include <objbase.h>

namespace sample {

int RunProductWindow(int*, char***) {
    // Without COM the window still opens; choosing a file then says the chooser failed.
    Utils::win::ComApartment com;
    // Loads the themed controls the manifest asks for; without them the plain ones are used.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    (void)::InitCommonControlsEx(&controls);
    CompressorWindow window;
    if (!window.Create()) {
        WriteErr("compressor.exe: no display found; use compressor.exe FILE to compress a file\n");
        return 2;
    }
    return window.Run();
}

}  // namespace sample
