#include "app/ProcessHardening.h"

#include <cstdlib>

void HardenProcess() {
    static const char* const kVariables[] = {
        "LD_PRELOAD",       "LD_LIBRARY_PATH",        "LD_AUDIT",
        "GTK_PATH",         "GTK_MODULES",            "GTK3_MODULES",
        "GTK_EXE_PREFIX",   "GTK_IM_MODULE_FILE",     "GIO_MODULE_DIR",
        "GIO_EXTRA_MODULES", "GDK_PIXBUF_MODULE_FILE", "GDK_PIXBUF_MODULEDIR",
    };
    for (const char* name : kVariables) unsetenv(name);
}
