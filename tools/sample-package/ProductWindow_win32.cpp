// The Windows product is a console program for now: without arguments it explains its use.
#include "tools/sample-package/ProductWindow.h"

#include "tools/sample-package/SampleSystem.h"

namespace sample {

int RunProductWindow(int*, char***) {
    WriteErr("compressor.exe: this build has no window; use compressor.exe FILE to compress a file\n");
    return 2;
}

}  // namespace sample
