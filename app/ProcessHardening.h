#pragma once
// Start-up hardening: nothing from outside the system folders is loaded by the toolkit's
// plug-in machinery or by any child process (package, uninstaller).

// Removes the loader and module-path variables (LD_PRELOAD, LD_LIBRARY_PATH, LD_AUDIT, the
// GTK, GIO and GdkPixbuf module paths) from the process environment. Missing variables are
// skipped. Call on the main thread before any other thread exists.
void HardenProcess();
