#include "utils/Thread.h"

#include <exception>
#include <sys/syscall.h>
#include <unistd.h>

#include "utils/Log.h"
#include "utils/StringUtils.h"

namespace Utils {
namespace {

// pthread names are at most 15 bytes; cut on a UTF-8 character boundary.
std::string CutThreadName(const std::string& name) {
    if (name.size() <= 15) return name;
    size_t cut = 15;
    while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80) --cut;
    return name.substr(0, cut);
}

}  // namespace

Thread::Thread(void* argument, std::wstring name, WorkFunction work)
    : work_(std::move(work)), argument_(argument), name_(std::move(name)) {
    if (pthread_create(&handle_, nullptr, &Thread::CallBack, this) != 0) return;
    hasHandle_ = true;
    {
        std::unique_lock lock(gateMutex_);
        gate_.wait(lock, [this] { return idPublished_; });
    }
    if (name_.empty()) {
        debuggerName_ = "t";
        debuggerName_ += std::to_string(id_);
    } else {
        debuggerName_ = CutThreadName(ToUtf8(name_));
    }
    pthread_setname_np(handle_, debuggerName_.c_str());  // a failure only loses the label
}

Thread::~Thread() {
    Join();
    name_.clear();
    work_ = nullptr;
}

bool Thread::Resume() {
    if (!hasHandle_) return false;
    std::lock_guard lock(gateMutex_);
    if (resumed_) return false;
    resumed_ = true;
    gate_.notify_all();
    return true;
}

void Thread::Join() {
    if (!hasHandle_) return;
    {
        std::lock_guard lock(gateMutex_);
        if (!resumed_) {
            cancelled_ = true;
            gate_.notify_all();
        }
    }
    pthread_join(handle_, nullptr);
    hasHandle_ = false;
    id_ = kNoThread;
}

void* Thread::CallBack(void* raw) {
    auto* self = static_cast<Thread*>(raw);
    {
        std::unique_lock lock(self->gateMutex_);
        self->id_ = static_cast<uint32_t>(syscall(SYS_gettid));
        self->idPublished_ = true;
        self->gate_.notify_all();
        self->gate_.wait(lock, [self] { return self->resumed_ || self->cancelled_; });
        if (self->cancelled_) return nullptr;
    }
    QLOG(L"THREAD BEGIN\r\n");
    try {
        self->work_(self->argument_);
    } catch (const std::exception& e) {
        // An exception must not take the installer down from a worker; it is logged instead.
        QLOG(L"THREAD EXCEPTION %S\r\n", e.what());
    } catch (...) {
        QLOG(L"THREAD EXCEPTION\r\n");
    }
    QLOG(L"THREAD END\r\n");
    return nullptr;
}

}  // namespace Utils
