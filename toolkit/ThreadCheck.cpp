#include "toolkit/ThreadCheck.h"

#include <cstdio>
#include <cstdlib>

namespace Toolkit {

void ThreadCheck::Fail(const char* what) {
    std::fprintf(stderr, "toolkit: %s called from a thread that does not own the window; post to it instead\n",
                 what);
    std::fflush(stderr);
    std::abort();
}

}  // namespace Toolkit
