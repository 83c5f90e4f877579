#pragma once
// The installer's run from start-up to shutdown, called by the system's entry point (main on
// Linux, wWinMain on Windows) on the main thread. `argc`/`argv` are the program name and
// arguments in UTF-8 as the windowing toolkit wants them; the installer's own options are read
// back from the system. Returns the process exit code.
int RunInstaller(int argc, char** argv);
