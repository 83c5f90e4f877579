#pragma once
// Catches user-interface objects touched from a thread other than the one that made them (a
// worker must post to the window instead). In debug and sanitizer builds a wrong thread ends
// the process at once with a message naming the operation; release builds compile the check
// away.
#include <thread>

#if !defined(NDEBUG) || defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define QV_TOOLKIT_THREAD_CHECKS 1
#else
#define QV_TOOLKIT_THREAD_CHECKS 0
#endif

namespace Toolkit {

class ThreadCheck {
public:
    ThreadCheck() : owner_(std::this_thread::get_id()) {}
    // `what` names the operation in the message ("CPaintManagerUI::Paint").
    void Check(const char* what) const {
#if QV_TOOLKIT_THREAD_CHECKS
        if (std::this_thread::get_id() != owner_) Fail(what);
#else
        (void)what;
#endif
    }
    static constexpr bool Enabled() { return QV_TOOLKIT_THREAD_CHECKS != 0; }

private:
    [[noreturn]] static void Fail(const char* what);
    std::thread::id owner_;
};

}  // namespace Toolkit
