#pragma once
// Room for a crash report after a stack overflow. A fatal-error handler needs stack of its own
// to run once a thread has exhausted its stack; the system keeps that setting per thread (an
// alternate signal stack, or a stack guarantee), so every thread that may crash must ask for it.

namespace Utils {

// Gives the calling thread its reserve for a crash handler (once; later calls return true at
// once). The reserve is given back when the thread ends. False when memory or the system call
// fails; the thread then runs without one.
bool EnsureAlternateSignalStack();

}  // namespace Utils
