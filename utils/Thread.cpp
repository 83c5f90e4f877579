#include "utils/Thread.h"

#include <exception>

#include "utils/Log.h"
#include "utils/SignalStack.h"
#include "utils/StringUtils.h"
#include "utils/ThreadState.h"

namespace Utils {

void* Thread::CallBack(void* raw) {
    auto* state = static_cast<State*>(raw);
    if (!state->PassStartGate()) return nullptr;
    Thread* self = state->owner;
    EnsureAlternateSignalStack();  // without one, a stack overflow here dies unreported
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

Thread::~Thread() {
    Join();
    name_.clear();
    work_ = nullptr;
}

uint32_t Thread::Id() const { return state_->id; }

namespace detail {

std::string ThreadDebuggerName(const std::wstring& name, uint32_t id, std::size_t maxBytes) {
    if (name.empty()) return "t" + std::to_string(id);
    std::string text = ToUtf8(name);
    if (text.size() <= maxBytes) return text;
    std::size_t cut = maxBytes;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    text.resize(cut);
    return text;
}

}  // namespace detail
}  // namespace Utils
