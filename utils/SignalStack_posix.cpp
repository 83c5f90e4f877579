#include "utils/SignalStack.h"

#include <algorithm>
#include <csignal>
#include <cstdlib>

namespace Utils {
namespace {

// A thread's alternate signal stack, given back when the thread ends (after it is switched off,
// so the kernel never delivers a signal onto freed memory).
struct AltStack {
    void* memory = nullptr;
    ~AltStack() {
        if (!memory) return;
        stack_t off{};
        off.ss_flags = SS_DISABLE;
        if (sigaltstack(&off, nullptr) != 0) return;  // still in use: leaking beats a freed stack
        std::free(memory);
    }
};

thread_local AltStack t_altStack;

}  // namespace

bool EnsureAlternateSignalStack() {
    if (t_altStack.memory) return true;
    // Room for the report path (formatting, a few system calls) above the kernel's minimum.
    const size_t size = std::max<size_t>(SIGSTKSZ, 64 * 1024);
    void* mem = std::malloc(size);
    if (!mem) return false;
    stack_t ss{};
    ss.ss_sp = mem;
    ss.ss_size = size;
    if (sigaltstack(&ss, nullptr) != 0) {
        std::free(mem);
        return false;
    }
    t_altStack.memory = mem;
    return true;
}

}  // namespace Utils
