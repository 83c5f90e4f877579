#pragma once
// Start-up hardening: nothing from outside the system folders is loaded into the installer or
// (on Linux) into any child process (package, uninstaller), and no file the installer opens
// can take the place of a standard stream.

// Makes sure each standard stream (input, output, error) has a target before anything opens a
// file: one that is closed gets the null device, so the trace, the progress lines and the
// children's inherited handles never land in the first file the installer opens (the lock
// file, a package). On Windows a program started without console streams first tries the
// console of the process that started it, so an unattended run from a console shows its
// progress there. Call first thing, before anything opens a file. False when a stream could
// not be given a target.
bool OpenClosedStandardDescriptors();

// Narrows what the process loads to the system's own folders and makes a few faults fatal
// instead of exploitable: Linux removes the loader and module-path variables (LD_PRELOAD,
// LD_LIBRARY_PATH, LD_AUDIT, the GTK, GIO and GdkPixbuf module paths) from the environment and
// ignores SIGPIPE (a write to a vanished reader fails instead of killing the installer);
// Windows restricts the DLL search to the system folder, takes the current folder out of it,
// loads the system libraries the installer may pull in later from there by full path, and
// ends the process on heap corruption. Call on the main thread before any other thread exists.
void HardenProcess();
