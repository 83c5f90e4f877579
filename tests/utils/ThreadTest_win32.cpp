// Thread names as Windows debuggers see them: the whole name, never cut.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

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

// What the debuggers' naming exceptions (0x406D1388) raised while a handler is installed carried.
struct NameAnnouncement {
    std::string name;
    DWORD threadId;
};
std::vector<NameAnnouncement> g_announced;

// Sees the exception before the thread's own handler, as a debugger would, and leaves it to that.
LONG CALLBACK RecordName(EXCEPTION_POINTERS* exception) {
    const EXCEPTION_RECORD& record = *exception->ExceptionRecord;
    if (record.ExceptionCode != 0x406D1388) return EXCEPTION_CONTINUE_SEARCH;
    struct Info {
        DWORD type;
        LPCSTR name;
        DWORD threadId;
        DWORD flags;
    };
    if (record.NumberParameters * sizeof(ULONG_PTR) < sizeof(Info)) return EXCEPTION_CONTINUE_SEARCH;
    const auto* info = reinterpret_cast<const Info*>(record.ExceptionInformation);
    if (info->type == 0x1000 && info->flags == 0 && info->name) g_announced.push_back({info->name, info->threadId});
    return EXCEPTION_CONTINUE_SEARCH;
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

TEST(Thread_Names, DebuggersAreToldTheNameInTheAnsiCodePageWithTheThreadsId) {
    struct Remove {
        void operator()(void* handler) const { ::RemoveVectoredExceptionHandler(handler); }
    };
    const std::unique_ptr<void, Remove> recorder(::AddVectoredExceptionHandler(1, &RecordName));
    ASSERT_NE(recorder, nullptr);
    g_announced.clear();
    {
        Utils::Thread named(nullptr, L"ABDEF", [](void*) { return 0u; });
        Utils::Thread unnamed(nullptr, L"", [](void*) { return 0u; });
        // Characters the code page lacks become its default character, as debuggers show them.
        Utils::Thread wide(nullptr, L"\u5B89 UnInstaller", [](void*) { return 0u; });
        ASSERT_EQ(g_announced.size(), 3u);
        EXPECT_EQ(g_announced[0].name, "ABDEF");
        EXPECT_EQ(g_announced[0].threadId, named.Id());
        EXPECT_EQ(g_announced[1].name, "t" + std::to_string(unnamed.Id()));
        EXPECT_EQ(g_announced[1].threadId, unnamed.Id());
        char ansi[32] = {};
        ASSERT_GT(::WideCharToMultiByte(CP_ACP, 0, L"\u5B89 UnInstaller", -1, ansi, sizeof ansi, nullptr, nullptr), 0);
        EXPECT_EQ(g_announced[2].name, ansi);
        EXPECT_EQ(g_announced[2].threadId, wide.Id());
    }
}
