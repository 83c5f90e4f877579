// Thread names as Windows debuggers see them: the whole name, never cut.
#include <gtest/gtest.h>

#include <string>

#include "utils/Thread.h"
#include "utils/UniqueHandle_win32.h"

namespace {

// The description the system keeps for thread `id`; empty where the system has none.
std::wstring SystemThreadName(uint32_t id) {
    using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);
    HMODULE kernel = ::GetModuleHandleW(L"kernelbase.dll");
    const auto get = kernel ? reinterpret_cast<GetDescription>(
                                  reinterpret_cast<void*>(::GetProcAddress(kernel, "GetThreadDescription")))
                            : nullptr;
    Utils::UniqueHandle thread(::OpenThread(THREAD_QUERY_LIMITED_INFORMATION, FALSE, id));
    PWSTR text = nullptr;
    if (!get || !thread || FAILED(get(thread.Get(), &text)) || !text) return {};
    std::wstring name = text;
    ::LocalFree(text);
    return name;
}

}  // namespace

TEST(Thread_Names, TheSystemKeepsTheWholeNameOrTPlusTheId) {
    Utils::Thread named(nullptr, L"安安安安安安 UnInstaller", [](void*) { return 0u; });
    ASSERT_TRUE(named.HasHandle());
    EXPECT_EQ(named.DebuggerName(), "安安安安安安 UnInstaller");
    EXPECT_EQ(SystemThreadName(named.Id()), L"安安安安安安 UnInstaller");

    Utils::Thread unnamed(nullptr, L"", [](void*) { return 0u; });
    EXPECT_EQ(SystemThreadName(unnamed.Id()), L"t" + std::to_wstring(unnamed.Id()));
}
