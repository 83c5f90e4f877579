#pragma once
// Start-up hardening: nothing from outside the system folders is loaded by the toolkit's
// plug-in machinery or by any child process (package, uninstaller), and no file the installer
// opens can take the place of a standard descriptor.

// Puts /dev/null on each of descriptors 0, 1 and 2 that is closed (an empty pipe end where
// /dev/null cannot be opened), so the trace and the children's inherited handles never land
// in the first file the installer opens (the lock file, a package). Call first thing in
// main, before anything opens a file. False when a descriptor could not be filled.
bool OpenClosedStandardDescriptors();

// Removes the loader and module-path variables (LD_PRELOAD, LD_LIBRARY_PATH, LD_AUDIT, the
// GTK, GIO and GdkPixbuf module paths) from the process environment. Missing variables are
// skipped. Call on the main thread before any other thread exists.
void HardenProcess();
