#include "utils/SignalStack.h"

#include "utils/UniqueHandle_win32.h"

namespace Utils {
namespace {

// Room kept back at the end of the stack for the crash handler after a stack overflow: the
// report formats a few lines and writes a file.
constexpr ULONG kReserve = 64 * 1024;

thread_local bool t_reserved = false;

}  // namespace

// Windows runs a crashing thread's exception filter on that thread's own stack; what the
// filter needs after an overflow is a guaranteed remainder of it, which the system keeps per
// thread like an alternate stack.
bool EnsureAlternateSignalStack() {
    if (t_reserved) return true;
    ULONG size = kReserve;
    if (::SetThreadStackGuarantee(&size) == 0) return false;
    t_reserved = true;
    return true;
}

}  // namespace Utils
