// The Linux entry point: the arguments go to the windowing toolkit as they are.
#include "app/InstallerMain.h"

int main(int argc, char** argv) { return RunInstaller(argc, argv); }
