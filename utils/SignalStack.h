#pragma once
// Alternate signal stacks. A fatal-signal handler needs a stack of its own to run after a
// stack overflow; the kernel keeps that setting per thread, so every thread that may crash
// must ask for one.

namespace Utils {

// Gives the calling thread an alternate signal stack (once; later calls return true at once).
// The stack is switched off and freed when the thread ends. False when memory or the system
// call fails; the thread then runs without one.
bool EnsureAlternateSignalStack();

}  // namespace Utils
