#include "tests/install/ChildProcessProbe.h"

#include <cstdlib>

#include "utils/UniqueHandle_win32.h"

namespace childtest {

bool EndsWithin(long long id, int ms) {
    Utils::UniqueHandle process(::OpenProcess(SYNCHRONIZE, FALSE, static_cast<DWORD>(id)));
    if (!process) return true;  // no such process any more
    return ::WaitForSingleObject(process.Get(), static_cast<DWORD>(ms)) == WAIT_OBJECT_0;
}

void Kill(long long id) {
    Utils::UniqueHandle process(::OpenProcess(PROCESS_TERMINATE, FALSE, static_cast<DWORD>(id)));
    if (process) ::TerminateProcess(process.Get(), 9);
}

// _putenv_s changes the C runtime's copy and the process environment that children inherit.
void SetEnv(const char* name, const char* value) { ::_putenv_s(name, value ? value : ""); }

}  // namespace childtest
