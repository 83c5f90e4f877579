#pragma once
// What the child probe needs of the system, one source file per platform.
#include <string>
#include <vector>

namespace probe {

// Prints every descriptor open in this process, one per line; false when the system cannot
// list them.
bool PrintOpenDescriptors();
// Standard input and output carry bytes as they are (no line-end translation).
void UseBinaryStdio();
// The file that descriptor or handle `value` (decimal) names in this process; empty when it
// names no open file.
std::string HeldFile(const std::string& value);
long long OwnProcessId();
// The command line exactly as the system handed it over (UTF-8); empty where the system keeps
// only split arguments.
std::string OwnCommandLine();
// Starts this probe again with `args`, detached from the standard handles; its id, or -1.
long long StartSelf(const std::vector<std::string>& args);
void SleepMs(long ms);

}  // namespace probe
