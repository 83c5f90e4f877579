#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/TempDir.h"
#include "utils/PathText.h"
#include "utils/ProfileFile.h"
#include "utils/ProfileUpdate.h"
#include "utils/SpecialFolders.h"
#include "utils/WindowsApi_win32.h"

using namespace Utils;
using testsupport::ReadFile;
using testsupport::TempDir;

namespace {

// Starts the writer helper built beside this test program; the process handle, or null.
HANDLE StartWriter(const std::filesystem::path& file, const std::wstring& name, int count) {
    const auto helper = ExecutablePath().parent_path() / L"qv_profile_writer.exe";
    std::wstring commandLine = L"\"" + helper.native() + L"\" \"" + file.native() + L"\" " + name + L" " +
                               std::to_wstring(count);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(helper.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info))
        return nullptr;
    CloseHandle(info.hThread);
    return info.hProcess;
}

DWORD WaitFor(HANDLE process) {
    DWORD code = 0xFFFFFFFF;
    if (WaitForSingleObject(process, 120000) == WAIT_OBJECT_0) GetExitCodeProcess(process, &code);
    CloseHandle(process);
    return code;
}

// A character of the system code page beyond ASCII, or 0 when the code page has none we know.
wchar_t AnsiLetter() {
    for (const wchar_t c : {L'\u00E9', L'\u4E2D', L'\u0436'}) {
        BOOL usedDefault = FALSE;
        char out[8];
        if (WideCharToMultiByte(CP_ACP, 0, &c, 1, out, sizeof out, nullptr, &usedDefault) > 0 && !usedDefault)
            return c;
    }
    return 0;
}

}  // namespace

TEST(ProfileFile_Concurrency, TwoProcessesWritingTheSameFileKeepEveryKey) {
    TempDir dir;
    const auto f = dir / "shared.ini";
    constexpr int kKeysEach = 60;
    HANDLE a = StartWriter(f, L"a", kKeysEach);
    HANDLE b = StartWriter(f, L"b", kKeysEach);
    ASSERT_TRUE(a && b) << "helper not started: " << GetLastError();
    EXPECT_EQ(WaitFor(a), 0u);
    EXPECT_EQ(WaitFor(b), 0u);
    int missing = 0;
    for (const wchar_t* name : {L"a", L"b"})
        for (int i = 0; i < kKeysEach; ++i)
            if (GetProfileString(L"s", std::wstring(name) + L"_" + std::to_wstring(i), L"", 8, f) != L"v") ++missing;
    EXPECT_EQ(missing, 0);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.path()), {}), 1);
}

// New files are in the system code page, as the system's writer makes them; the module's
// edits keep that form, so each side reads what the other wrote.
TEST(ProfileFile_Encoding, TheSystemCodePageIsSharedWithTheSystemCalls) {
    const wchar_t letter = AnsiLetter();
    if (!letter) GTEST_SKIP() << "no known non-ASCII letter in this code page";
    TempDir dir;
    const auto f = dir / "set.ini";
    const std::wstring byApi = std::wstring(L"api ") + letter;
    const std::wstring byModule = std::wstring(L"module ") + letter;
    ASSERT_TRUE(WriteProfileString(L"Install", L"A", byApi, f));
    ASSERT_TRUE(UpdateProfileFile(f, [&](ProfileFile& p) { return p.Set(L"Install", L"B", byModule); }));
    EXPECT_EQ(GetProfileString(L"Install", L"A", L"", 260, f), byApi);
    EXPECT_EQ(GetProfileString(L"Install", L"B", L"", 260, f), byModule);
    EXPECT_EQ(ProfileFile::Load(f).Get(L"Install", L"A"), byApi);
    const std::string bytes = ReadFile(f);
    EXPECT_EQ(bytes.find("\xEF\xBB\xBF"), std::string::npos);
    EXPECT_NE(bytes.substr(0, 2), "\xFF\xFE");
}

TEST(ProfileFile_Encoding, AUtf16FileStaysUtf16) {
    TempDir dir;
    const std::u16string text = u"[s]\r\nk=\u4E2D\u6587\r\n";
    std::string bytes = "\xFF\xFE";
    for (const char16_t c : text) {
        bytes += static_cast<char>(c & 0xFF);
        bytes += static_cast<char>(c >> 8);
    }
    const auto f = dir.Write("u.ini", bytes);
    EXPECT_EQ(GetProfileString(L"s", L"k", L"", 260, f), L"\u4E2D\u6587");
    ASSERT_TRUE(UpdateProfileFile(f, [](ProfileFile& p) { return p.Set(L"s", L"j", L"\u6587"); }));
    EXPECT_EQ(ReadFile(f).substr(0, 2), "\xFF\xFE");
    EXPECT_EQ(GetProfileString(L"s", L"k", L"", 260, f), L"\u4E2D\u6587");
    EXPECT_EQ(GetProfileString(L"s", L"j", L"", 260, f), L"\u6587");
}

// The system's calls look for a bare file name in the Windows folder; ours mean the working
// folder, as on Linux.
TEST(ProfileFile_Paths, ARelativeNameIsTheWorkingFolders) {
    TempDir dir;
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(dir.path());
    const bool written = WriteProfileString(L"s", L"k", L"here", L"relative.ini");
    const std::wstring read = GetProfileString(L"s", L"k", L"", 16, L"relative.ini");
    std::filesystem::current_path(old);
    EXPECT_TRUE(written);
    EXPECT_EQ(read, L"here");
    EXPECT_TRUE(std::filesystem::exists(dir / "relative.ini"));
}
