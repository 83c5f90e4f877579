// The main window's folder rule with Windows paths: either separator, and the product's folder
// and the product's executable joined with a backslash.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include "../../support/ScopedEnv.h"
#include "ui/windows/DesktopServices.h"
#include "ui/windows/MainWndRules.h"
#include "utils/WindowsApi_win32.h"

using namespace MainWndRules;

TEST(MainWndRules, CustomFolderGetsTheProductSubFolderUnlessItIsTheProposal) {
    const std::wstring proposal = L"C:\\Program Files (x86)\\Pelmora";
    EXPECT_EQ(CustomFolderFor(proposal, proposal), proposal);
    EXPECT_EQ(CustomFolderFor(proposal + L"\\", proposal), proposal);
    EXPECT_EQ(CustomFolderFor(L"C:/Program Files (x86)/Pelmora", proposal), proposal);
    // Windows names folders without regard to letter case: the proposal typed in other letters
    // is still the proposal, not a folder to put another "Pelmora" in.
    EXPECT_EQ(CustomFolderFor(L"c:\\program files (x86)\\pelmora", proposal), proposal);
    EXPECT_EQ(CustomFolderFor(L"D:\\Apps", proposal), L"D:\\Apps\\Pelmora");
    EXPECT_EQ(CustomFolderFor(L"D:\\Apps\\", proposal), L"D:\\Apps\\Pelmora");
    // A drive's root gets the product's folder straight below it.
    EXPECT_EQ(CustomFolderFor(L"D:\\", proposal), L"D:\\Pelmora");
    // The proposal's parent is another folder: the product still gets its own.
    EXPECT_EQ(CustomFolderFor(L"C:\\Program Files (x86)", proposal), L"C:\\Program Files (x86)\\Pelmora");
}

TEST(MainWndRules, TheProductsExecutableIsJoinedWithABackslash) {
    EXPECT_EQ(ProductExeIn(L"D:\\Apps\\Pelmora"), L"D:\\Apps\\Pelmora\\compressor.exe");
    EXPECT_EQ(ProductExeIn(L"D:\\"), L"D:\\compressor.exe");
}

namespace {

constexpr wchar_t kReportVariable[] = L"QV_TEST_REPORT_SHOW";

// This program started by the desktop test below: it writes how it was asked to show its
// window (STARTUPINFO's show state, "none" without one) into the file the variable names, and
// ends before any test runs.
[[maybe_unused]] const bool g_startedToReport = [] {
    wchar_t file[MAX_PATH];
    const DWORD length = ::GetEnvironmentVariableW(kReportVariable, file, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return false;
    STARTUPINFOW info{};
    info.cb = sizeof info;
    ::GetStartupInfoW(&info);
    std::ofstream(std::filesystem::path(file) += L".part")
        << ((info.dwFlags & STARTF_USESHOWWINDOW) ? std::to_string(info.wShowWindow) : "none");
    std::error_code ignored;
    std::filesystem::rename(std::filesystem::path(file) += L".part", file, ignored);
    ::ExitProcess(0);
}();

// The show state the started copy reported, "" when it did not within a while.
std::string ReportedShow(const std::filesystem::path& report) {
    for (int i = 0; i < 300 && !std::filesystem::exists(report); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    std::ifstream in(report);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(DesktopServices, TheStartPageOpensMaximisedAndProgramsNormally) {
    wchar_t self[MAX_PATH];
    const DWORD length = ::GetModuleFileNameW(nullptr, self, MAX_PATH);
    ASSERT_TRUE(length > 0 && length < MAX_PATH);
    const std::filesystem::path folder =
        std::filesystem::temp_directory_path() / ("qv-show-" + std::to_string(::GetCurrentProcessId()));
    std::filesystem::create_directories(folder);
    const std::filesystem::path report = folder / "show.txt";
    testsupport::ScopedEnv variable("QV_TEST_REPORT_SHOW", report.string());

    ASSERT_TRUE(DesktopServices::OpenStartPage(self));
    EXPECT_EQ(ReportedShow(report), std::to_string(SW_SHOWMAXIMIZED));
    std::filesystem::remove(report);
    ASSERT_TRUE(DesktopServices::StartProgram(self, folder.parent_path().wstring()));
    EXPECT_EQ(ReportedShow(report), std::to_string(SW_SHOWNORMAL));
    std::error_code ignored;  // the copy may still be ending
    std::filesystem::remove_all(folder, ignored);
}
